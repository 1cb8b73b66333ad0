#pragma once

#include <filesystem>

#include "cli/Commands.hpp"
#include "platform/UserFolders.hpp"

// The commands lumetra-app carries out itself, without a host, by their row.
namespace lumetra::LocalCommands {

// `bundle` is the app bundle the running lumetra-app is in.
[[nodiscard]] Commands::Output run(const Commands::Row& row, const Arguments& arguments,
                                   const std::filesystem::path& bundle, const Environment& environment);

}  // namespace lumetra::LocalCommands
