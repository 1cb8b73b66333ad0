#pragma once

// The host's reports: the CSV of a range, and time per project by period.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Instant.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

struct ExportRequest {
  std::optional<std::string> range;  // an export range's label; All Time when left out

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"range", &ExportRequest::range}}; }
};

struct ExportFile {
  std::string csv;

  static constexpr auto wireFields() { return std::tuple{WireField{"csv", &ExportFile::csv}}; }
};

struct ReportRequest {
  std::optional<std::string> range;                  // This Week when left out
  std::optional<std::string> by;                     // project (the default), day or week
  std::optional<std::vector<std::string>> projects;  // only these

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = ReportRequest;
    return std::tuple{WireField{"range", &R::range}, WireField{"by", &R::by}, WireField{"projects", &R::projects}};
  }
};

// One project's whole seconds in a group, and its share of the group in whole percents, the
// group's shares adding up to 100.
struct ReportLine {
  std::string project;
  std::int64_t seconds = 0;
  bool running = false;
  std::int64_t percent = 0;

  static constexpr auto wireFields() {
    using R = ReportLine;
    return std::tuple{WireField{"project", &R::project}, WireField{"seconds", &R::seconds},
                      WireField{"running", &R::running}, WireField{"percent", &R::percent}};
  }
};

// A day, a week, or the whole period, with its projects by time, most first.
struct ReportGroup {
  std::string label;
  Instant from;
  Instant to;
  std::vector<ReportLine> projects;
  std::int64_t seconds = 0;

  static constexpr auto wireFields() {
    using R = ReportGroup;
    return std::tuple{WireField{"label", &R::label}, WireField{"from", &R::from}, WireField{"to", &R::to},
                      WireField{"projects", &R::projects}, WireField{"seconds", &R::seconds}};
  }
};

// A project over the whole period, with its share of the total.
struct ReportShare {
  std::string project;
  std::int64_t seconds = 0;
  double share = 0;
  bool running = false;

  static constexpr auto wireFields() {
    using R = ReportShare;
    return std::tuple{WireField{"project", &R::project}, WireField{"seconds", &R::seconds},
                      WireField{"share", &R::share}, WireField{"running", &R::running}};
  }
};

struct Report {
  std::string range;
  std::string by;
  Instant from;
  Instant to;
  std::string firstDay;
  std::string lastDay;
  std::vector<ReportGroup> groups;  // only those with time in them
  std::vector<ReportShare> projects;
  std::int64_t seconds = 0;
  bool running = false;

  static constexpr auto wireFields() {
    using R = Report;
    return std::tuple{WireField{"range", &R::range},       WireField{"by", &R::by},
                      WireField{"from", &R::from},         WireField{"to", &R::to},
                      WireField{"first_day", &R::firstDay}, WireField{"last_day", &R::lastDay},
                      WireField{"groups", &R::groups},     WireField{"projects", &R::projects},
                      WireField{"seconds", &R::seconds},   WireField{"running", &R::running}};
  }
};

}  // namespace lumetra
