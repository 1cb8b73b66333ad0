#pragma once

#include "convert/Converter.hpp"

#include <optional>
#include <string>

#include "cli/CommandLineTool.hpp"

namespace lumetra::ConvertCommand {

// `lumetra-app convert FORMAT FILE [-o OUT] [--skip-bad]`: another tracker's export as the CSV
// `lumetra import` reads, without a running host and without touching any data. FILE "-" is
// standard input; without OUT the CSV goes to standard output.
[[nodiscard]] CommandLineTool::Output run(const std::string& format, const std::string& file,
                                          const std::optional<std::string>& output, bool skipBad,
                                          const Converter::Options& options = {});

}  // namespace lumetra::ConvertCommand
