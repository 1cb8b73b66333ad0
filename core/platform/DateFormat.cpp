#include "platform/DateFormat.hpp"

#include <unicode/calendar.h>
#include <unicode/smpdtfmt.h>

#include <cstdio>
#include <stdexcept>

namespace lumetra {

struct DateFormat::Impl {
  std::unique_ptr<icu::SimpleDateFormat> format;
};

DateFormat::DateFormat(std::string pattern, Calendar calendar)
    : pattern_(std::move(pattern)), calendar_(std::move(calendar)) {}

DateFormat::DateFormat(const DateFormat&) = default;
DateFormat& DateFormat::operator=(const DateFormat&) = default;
DateFormat::DateFormat(DateFormat&&) noexcept = default;
DateFormat& DateFormat::operator=(DateFormat&&) noexcept = default;
DateFormat::~DateFormat() = default;

DateFormat::Impl& DateFormat::impl() const {
  return impl_.get([&] {
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern_),
                                                          icu::Locale("en_US_POSIX"), status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU date format: ") + u_errorName(status));
    format->setCalendar(*static_cast<icu::Calendar*>(calendar_.icuCalendar()));
    format->setLenient(false);
    return Impl{std::move(format)};
  });
}

namespace {

// The pattern written out from the calendar's fields when it holds nothing but the numeric
// fields yyyy, MM, dd, HH, mm and ss between literal punctuation, as every pattern of ours does;
// nullopt for anything else. Gives what ICU gives for these fields in en_US_POSIX, without
// building a formatter, which costs a short-lived process more than all its other date work.
std::optional<std::string> numericFields(const std::string& pattern, const Calendar::DateParts& parts) {
  if (parts.year < 1 || parts.year > 9999) return std::nullopt;
  std::string out;
  for (std::size_t at = 0; at < pattern.size();) {
    const char letter = pattern[at];
    std::size_t run = 1;
    while (at + run < pattern.size() && pattern[at + run] == letter) ++run;
    const bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
    if (!isLetter) {
      if (letter == '\'') return std::nullopt;  // quoted text: left to ICU
      out.append(run, letter);
    } else {
      int value = 0;
      switch (letter) {
        case 'y': value = parts.year; break;
        case 'M': value = parts.month; break;
        case 'd': value = parts.day; break;
        case 'H': value = parts.hour; break;
        case 'm': value = parts.minute; break;
        case 's': value = parts.second; break;
        default: return std::nullopt;
      }
      if (run != (letter == 'y' ? 4U : 2U)) return std::nullopt;
      char digits[8];
      out.append(digits, static_cast<std::size_t>(std::snprintf(digits, sizeof digits, "%0*d", static_cast<int>(run), value)));
    }
    at += run;
  }
  return out;
}

}  // namespace

std::string DateFormat::format(Instant instant) const {
  if (auto text = numericFields(pattern_, calendar_.parts(instant))) return std::move(*text);
  icu::UnicodeString text;
  impl().format->format(instant.seconds * 1000.0, text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::optional<Instant> DateFormat::parse(std::string_view text) const {
  const auto input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::ParsePosition position(0);
  const UDate millis = impl().format->parse(input, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) return std::nullopt;
  return Instant(millis / 1000.0);
}

}  // namespace lumetra
