#pragma once

#include <filesystem>

namespace lumetra::ProcessInfo {

// The running executable's file, as the system knows it; `argv0` when it can't tell.
[[nodiscard]] std::filesystem::path executable(const char* argv0);

}  // namespace lumetra::ProcessInfo
