#include <algorithm>

#include "platform/UnicodeText.hpp"
#include "store/Store.hpp"

namespace lumetra {

bool Store::startsLikeFormula(std::string_view text) {
  for (const char32_t c : UnicodeText::scalars(text)) {
    if (UnicodeText::isWhiteSpace(c) || UnicodeText::isFormat(c)) continue;
    return c == U'=' || c == U'+' || c == U'-' || c == U'@';
  }
  return false;
}

std::string Store::trimmed(std::string_view text) { return UnicodeText::trimmingWhiteSpace(text); }

std::string Store::foldedName(std::string_view name) { return UnicodeText::asciiLowercased(name); }

std::optional<std::string> Store::normalizedDescription(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  std::string result = trimmed(*text);
  if (result.empty()) return std::nullopt;
  return result;
}

std::optional<std::string> Store::validDescription(const std::optional<std::string>& text,
                                                   const std::vector<std::optional<std::string>>& existing) {
  auto normalized = normalizedDescription(text);
  if (!normalized || !startsLikeFormula(*normalized)) return normalized;
  const bool carriedOver = std::any_of(existing.begin(), existing.end(),
                                       [&](const std::optional<std::string>& e) { return e && *e == *normalized; });
  if (!carriedOver) throw StoreError::leadingFormulaCharacter(StoreError::Field::description);
  return normalized;
}

std::optional<std::string> Store::mergedDescription(const std::optional<std::string>& a,
                                                    const std::optional<std::string>& b) {
  const auto first = normalizedDescription(a), second = normalizedDescription(b);
  if (!first) return second;
  if (!second || *first == *second) return first;
  return *first + std::string(mergedDescriptionSeparator) + *second;
}

}  // namespace lumetra
