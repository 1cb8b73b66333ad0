#pragma once

#include <string_view>

#include "convert/Converter.hpp"
#include "platform/Calendar.hpp"

namespace lumetra::ExportTable {

// Reads a detailed CSV report of Toggl Track or Clockify: one entry per row, found by the
// headings Project, Client, Task, Description, Tags, Start date, Start time, End date, End time
// (and Id when there is one), in any case and order. Dates are YYYY-MM-DD, or day, month and
// year with "/", "-" or "." in the order the whole file shows; times are 24-hour or with AM/PM,
// local to `calendar`, whose zone places an entry that ends in the hour the clocks went back to.
[[nodiscard]] ReadExport read(Converter::Format format, std::string_view text, const Calendar& calendar);

}  // namespace lumetra::ExportTable
