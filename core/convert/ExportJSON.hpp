#pragma once

#include <string_view>

#include "convert/Converter.hpp"

namespace lumetra::ExportJSON {

// Reads Timewarrior's `export` (an array of intervals: "start", "end" as 20261201T080000Z,
// "tags", "annotation"; the first tag is the project) or Watson's frames file (an array of
// [start, stop, project, id, tags, updated] with Unix times). Each element is read on its own,
// so one broken element is one problem on its line.
[[nodiscard]] ReadExport read(Converter::Format format, std::string_view text, const Converter::Options& options = {});

}  // namespace lumetra::ExportJSON
