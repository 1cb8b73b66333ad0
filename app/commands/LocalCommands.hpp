#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/Commands.hpp"
#include "platform/UserFolders.hpp"

// The commands lumetra-app carries out itself, without a host, by their row.
namespace lumetra::LocalCommands {

// `bundle` is the app bundle the running lumetra-app is in; `projects` names the projects of a
// running host, or none, for a conversion to recognise.
[[nodiscard]] Commands::Output run(const Commands::Row& row, const Arguments& arguments,
                                   const std::filesystem::path& bundle, const Environment& environment,
                                   const std::function<std::vector<std::string>()>& projects = {});

}  // namespace lumetra::LocalCommands
