#pragma once

// lumetra-app's own ways of starting, stopping and importing: the tool's commands, with a time
// to backdate to, and a file the host reads itself.
#include <optional>
#include <string>
#include <tuple>

#include "platform/Instant.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

struct StartAt {
  std::string project;
  std::optional<std::string> description;
  std::optional<Instant> at;  // now when absent

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    return std::tuple{WireField{"project", &StartAt::project}, WireField{"description", &StartAt::description},
                      WireField{"at", &StartAt::at}};
  }
};

struct StopAt {
  std::optional<Instant> at;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"at", &StopAt::at}}; }
};

// A CSV file on this computer, read by the host: no size limit, as it never travels whole.
struct ImportFileRequest {
  std::string file;
  bool dryRun = false, allowOverlaps = false;

  static constexpr auto wireFields() {
    using R = ImportFileRequest;
    return std::tuple{WireField{"file", &R::file}, WireField{"dry_run", &R::dryRun},
                      WireField{"allow_overlaps", &R::allowOverlaps}};
  }
};

}  // namespace lumetra
