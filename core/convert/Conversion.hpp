#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/Converter.hpp"

namespace lumetra {

// One export converted, as both fronts show it (lumetra-app convert and the window's Import):
// the lines to say (rows left out or refused, notes) and the CSV when there is one to write.
struct Conversion {
  std::vector<std::string> lines;
  std::optional<std::string> csv;  // absent when nothing may be written
  std::size_t entries = 0;
  std::size_t badLines = 0;  // lines with problems, each counted once
  bool unreadable = false;   // not this kind of export at all: leaving rows out can't help

  // Rows with problems are left out only with `skipBad`, and never from an unreadable file.
  [[nodiscard]] static Conversion of(Converter::Format format, std::string_view text, const Calendar& calendar,
                                     bool skipBad, const Converter::Options& options);
  // "There's no format named “X”. Choose toggl, clockify, timewarrior, watson or spreadsheet."
  [[nodiscard]] static std::string unknownFormat(std::string_view name);
  // "A,B" as tags; empty parts dropped.
  [[nodiscard]] static std::vector<std::string> tagList(std::string_view commaSeparated);
  // "N lines can't be read": the start of the refusal when nothing may be written.
  [[nodiscard]] std::string unreadableLines() const;
  // "1 entry", "2 entries".
  [[nodiscard]] std::string count() const;
};

}  // namespace lumetra
