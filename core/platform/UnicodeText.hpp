#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::UnicodeText {

// Whether the bytes are well-formed UTF-8.
[[nodiscard]] bool isValidUTF8(std::string_view bytes);
// How much of `bytes` ends on a character boundary: all of it, less a last character whose
// bytes aren't all there yet (a text read in pieces).
[[nodiscard]] std::size_t wholeCharactersLength(std::string_view bytes);

// The Unicode scalars of well-formed UTF-8 text; ill-formed bytes become U+FFFD each.
[[nodiscard]] std::u32string scalars(std::string_view utf8);

// UTF-8 bytes of one scalar, appended to `out`.
void append(std::string& out, char32_t scalar);

// Whether the scalar is a Unicode letter (L*) or number (N*).
[[nodiscard]] bool isLetterOrNumber(char32_t scalar);
[[nodiscard]] bool isLetter(char32_t scalar);

// Unicode White_Space (spaces, tabs and every kind of line break).
[[nodiscard]] bool isWhiteSpace(char32_t scalar);
// General category Format (Cf): the zero-width joiner, the byte-order mark and the like.
[[nodiscard]] bool isFormat(char32_t scalar);

// The text without White_Space scalars at either end.
[[nodiscard]] std::string trimmingWhiteSpace(std::string_view utf8);

// The text with only the ASCII letters A to Z lowered; every other byte as it is.
[[nodiscard]] std::string asciiLowercased(std::string_view text);

// Full Unicode case folding, for comparing texts ignoring case ("ÉCLAIR" and "éclair" fold alike).
[[nodiscard]] std::string caseFolded(std::string_view utf8);
// Canonical composition (NFC), so that equivalent texts compare equal scalar by scalar.
[[nodiscard]] std::string canonicalComposition(std::string_view utf8);

// Orders texts as a file browser does in the user's locale: letter case mostly ignored, digits
// compared as numbers ("File 2" before "File 10").
class LocalizedOrder {
 public:
  LocalizedOrder();
  [[nodiscard]] bool operator()(std::string_view a, std::string_view b) const;

 private:
  std::shared_ptr<void> collator_;  // an icu::Collator; shared so that sorting may copy the order
};

// The number of user-perceived characters (extended grapheme clusters).
[[nodiscard]] std::size_t graphemeCount(std::string_view utf8);

// The columns a terminal gives the text: two for a cluster that starts with an East Asian wide
// or fullwidth character, one for any other.
[[nodiscard]] std::size_t displayWidth(std::string_view utf8);

// Whether the scalar ends a line: LF, VT, FF, CR, NEL (U+0085), LS (U+2028) or PS (U+2029).
[[nodiscard]] bool isNewline(char32_t scalar);

// The text cut at every newline; CR LF counts as one break. Empty pieces are kept.
[[nodiscard]] std::vector<std::string> splitLines(std::string_view utf8);

}  // namespace lumetra::UnicodeText
