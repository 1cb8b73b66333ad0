#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "control/ControlResult.hpp"
#include "platform/Calendar.hpp"
#include "platform/DateFormat.hpp"
#include "platform/Instant.hpp"

namespace lumetra::CommandLineTool {

// Prints result records as text for a person. Every printer returns its lines joined by
// newlines, without a final one. One formatter serves one invocation: `now` decides "today".
class Formatter {
 public:
  Formatter(Instant now, Calendar calendar, std::string clockPattern = "HH:mm",
            std::string dayPattern = "yyyy-MM-dd");

  [[nodiscard]] std::string status(const StatusResult& result) const;
  [[nodiscard]] std::string projects(const ProjectsResult& result) const;
  [[nodiscard]] std::string start(const StartResult& result) const;
  [[nodiscard]] std::string stop(const StopResult& result) const;
  [[nodiscard]] std::string resume(const SessionResult& result) const;
  [[nodiscard]] std::string describe(const SessionResult& result) const;
  [[nodiscard]] std::string sessions(const SessionsResult& result) const;
  [[nodiscard]] std::string importReport(const ImportReport& report) const;
  // What a dry run's report ends its first line with: the window, which calls it a check, has
  // its own words.
  void setDryRunEnd(std::string sentence) { dryRunEnd_ = std::move(sentence); }
  // The text of a command's result, by the printer the command's result needs.
  [[nodiscard]] std::string told(ControlCommand command, const ControlResult& result) const;

  // The clock time ("09:30") on the day of `now`, else the day and the clock ("2024-05-01 09:30").
  [[nodiscard]] std::string time(Instant instant) const;
  // "0m" … "59m", then "1h 00m"; minutes rounded half away from zero; negative counts as 0.
  [[nodiscard]] static std::string duration(std::int64_t seconds);
  // The text's lines joined with single spaces, empty lines dropped.
  [[nodiscard]] static std::string oneLine(std::string_view text);
  // The line without trailing U+0020 spaces.
  [[nodiscard]] static std::string trimmingTrailingSpaces(std::string_view line);

 private:
  std::string dryRunEnd_ = "Nothing was saved (dry run).";
  Instant now_;
  Calendar calendar_;
  DateFormat clockFormat_;
  DateFormat dayFormat_;
};

}  // namespace lumetra::CommandLineTool
