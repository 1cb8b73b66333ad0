#pragma once

#include <optional>
#include <tuple>

#include "control/ControlError.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

// The reply envelope: {"ok":true,"result":…} or {"error":{…},"ok":false}.
template <class Result>
struct ControlResponse {
  bool ok = false;
  std::optional<Result> result;
  std::optional<ControlError> error;

  static ControlResponse success(Result r) { return ControlResponse{true, std::move(r), std::nullopt}; }
  static ControlResponse failure(ControlError e) { return ControlResponse{false, std::nullopt, std::move(e)}; }

  bool operator==(const ControlResponse&) const = default;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    return std::tuple{WireField{"ok", &ControlResponse::ok}, WireField{"result", &ControlResponse::result},
                      WireField{"error", &ControlResponse::error}};
  }
};

}  // namespace lumetra
