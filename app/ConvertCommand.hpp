#pragma once

#include <optional>
#include <span>
#include <string>

#include "cli/CommandLineTool.hpp"

namespace lumetra::ConvertCommand {

// `lumetra-app convert FORMAT FILE [-o OUT] [--skip-bad]`: another tracker's export as the CSV
// `lumetra import` reads, without a running host and without touching any data. Nothing for
// any other words.
[[nodiscard]] std::optional<CommandLineTool::Output> run(std::span<const std::string> arguments);

}  // namespace lumetra::ConvertCommand
