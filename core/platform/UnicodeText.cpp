#include "platform/UnicodeText.hpp"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace lumetra::UnicodeText {

bool isValidUTF8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int64_t>(bytes.size());
  int64_t i = 0;
  while (i < length) {
    if (s[i] < 0x80) {  // ASCII needs no decoding; most CSV text is ASCII.
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::size_t wholeCharactersLength(std::string_view bytes) {
  // Back over at most three continuation bytes to the lead byte of the last character.
  const std::size_t n = bytes.size();
  for (std::size_t back = 1; back <= std::min<std::size_t>(4, n); ++back) {
    const auto byte = static_cast<uint8_t>(bytes[n - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    const std::size_t wanted = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return wanted > back ? n - back : n;
  }
  return n;
}

std::u32string scalars(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto length = static_cast<int64_t>(utf8.size());
  int64_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT_OR_FFFD(s, i, length, c);
    out.push_back(static_cast<char32_t>(c));
  }
  return out;
}

void append(std::string& out, char32_t scalar) {
  uint8_t buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool error = false;
  U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(scalar), error);
  if (error) {
    out += "\xEF\xBF\xBD";
    return;
  }
  out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

bool isLetter(char32_t scalar) { return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & U_GC_L_MASK) != 0; }

bool isLetterOrNumber(char32_t scalar) {
  return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & (U_GC_L_MASK | U_GC_N_MASK)) != 0;
}

std::string asciiLowercased(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool isWhiteSpace(char32_t scalar) { return u_hasBinaryProperty(static_cast<UChar32>(scalar), UCHAR_WHITE_SPACE); }

bool isFormat(char32_t scalar) { return u_charType(static_cast<UChar32>(scalar)) == U_FORMAT_CHAR; }

std::string trimmingWhiteSpace(std::string_view utf8) {
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto length = static_cast<int32_t>(utf8.size());
  int32_t begin = 0;
  while (begin < length) {
    int32_t next = begin;
    UChar32 c;
    U8_NEXT_OR_FFFD(s, next, length, c);
    if (!isWhiteSpace(static_cast<char32_t>(c))) break;
    begin = next;
  }
  int32_t end = length;
  while (end > begin) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV_OR_FFFD(s, begin, previous, c);
    if (!isWhiteSpace(static_cast<char32_t>(c))) break;
    end = previous;
  }
  return std::string(utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

namespace {
icu::UnicodeString fromUTF8(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}
std::string toUTF8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}
}  // namespace

std::string caseFolded(std::string_view utf8) { return toUTF8(fromUTF8(utf8).foldCase()); }

std::string canonicalComposition(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(utf8);
  const icu::UnicodeString normalized = nfc->normalize(fromUTF8(utf8), status);
  return U_FAILURE(status) ? std::string(utf8) : toUTF8(normalized);
}

LocalizedOrder::LocalizedOrder() {
  UErrorCode status = U_ZERO_ERROR;
  // The C and POSIX locales collate like byte strings, upper case first; a person's file
  // browser doesn't, so they get the root order.
  const icu::Locale& user = icu::Locale::getDefault();
  const icu::Locale locale = std::string_view(user.getName()) == "en_US_POSIX" ? icu::Locale::getRoot() : user;
  std::shared_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
  if (U_FAILURE(status) || !collator) throw std::runtime_error(std::string("ICU collator: ") + u_errorName(status));
  collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
  collator_ = collator;
}

bool LocalizedOrder::operator()(std::string_view a, std::string_view b) const {
  UErrorCode status = U_ZERO_ERROR;
  const auto* collator = static_cast<const icu::Collator*>(collator_.get());
  return collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                               icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status) == UCOL_LESS;
}

namespace {

// Every printable ASCII character (and every ASCII control but CR before LF) is a cluster of
// its own, so the break iterator is needed only for other text.
bool clustersAreBytes(std::string_view utf8) {
  return std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; });
}

// Calls `visit` with the first scalar of each extended grapheme cluster, in order.
template <class Visit>
void eachCluster(std::string_view utf8, Visit&& visit) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU break iterator: ") + u_errorName(status));
  const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  it->setText(text);
  for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
    visit(text.char32At(start));
  }
}

}  // namespace

std::size_t graphemeCount(std::string_view utf8) {
  if (clustersAreBytes(utf8)) return utf8.size();
  std::size_t count = 0;
  eachCluster(utf8, [&](UChar32) { ++count; });
  return count;
}

std::size_t displayWidth(std::string_view utf8) {
  if (clustersAreBytes(utf8)) return utf8.size();
  std::size_t width = 0;
  eachCluster(utf8, [&](UChar32 first) {
    const auto kind = u_getIntPropertyValue(first, UCHAR_EAST_ASIAN_WIDTH);
    width += kind == U_EA_WIDE || kind == U_EA_FULLWIDTH ? 2 : 1;
  });
  return width;
}

bool isNewline(char32_t c) {
  return c == U'\n' || c == U'\v' || c == U'\f' || c == U'\r' || c == U'\u0085' || c == U'\u2028' ||
         c == U'\u2029';
}

std::vector<std::string> splitLines(std::string_view utf8) {
  std::vector<std::string> pieces(1);
  const std::u32string text = scalars(utf8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (!isNewline(c)) {
      append(pieces.back(), c);
      continue;
    }
    if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    pieces.emplace_back();
  }
  return pieces;
}

}  // namespace lumetra::UnicodeText
