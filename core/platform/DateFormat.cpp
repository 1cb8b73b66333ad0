#include "platform/DateFormat.hpp"

#include <unicode/calendar.h>
#include <unicode/smpdtfmt.h>

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

std::string DateFormat::format(Instant instant) const {
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
