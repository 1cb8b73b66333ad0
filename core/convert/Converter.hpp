#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ConvertedEntry.hpp"
#include "platform/Calendar.hpp"

namespace lumetra::Converter {

// The exports Lumetra reads: Toggl Track's and Clockify's detailed CSV reports, Timewarrior's
// `export` JSON, Watson's frames file, and a table saved by a spreadsheet.
enum class Format { toggl, clockify, timewarrior, watson, spreadsheet };
inline constexpr std::array<std::pair<Format, std::string_view>, 5> kFormatNames{{{Format::toggl, "toggl"},
                                                                                 {Format::clockify, "clockify"},
                                                                                 {Format::timewarrior, "timewarrior"},
                                                                                 {Format::watson, "watson"},
                                                                                 {Format::spreadsheet, "spreadsheet"}}};

// How a reading chooses projects where the export doesn't say plainly.
struct Options {
  // Timewarrior: tags that name projects (besides `projects`, those already here); the first of
  // an interval's tags, in the order Timewarrior stores them, that is one becomes the project.
  std::vector<std::string> projectTags, projects;
  // Timewarrior: where intervals without tags go.
  std::string untagged = "Untagged";
};
[[nodiscard]] std::optional<Format> format(std::string_view name);
[[nodiscard]] std::string_view name(Format format);

// Reads an export; local times are the calendar's. A text that isn't UTF-8 is one problem, on
// its first bad line, and nothing else. An entry read twice (the same source ID and values) is
// kept once, with a note; two entries with one source ID and other values are a problem.
[[nodiscard]] ReadExport read(Format format, std::string_view text, const Calendar& calendar, const Options& options = {});

// The CSV `lumetra import` reads: Project, Start, End, Description and Source ID. Texts a
// spreadsheet would take for a formula get an apostrophe in front, as Lumetra's export does.
[[nodiscard]] std::string csv(const std::vector<ConvertedEntry>& entries);

// Helpers the readers share.
// The project an entry without one goes to.
inline constexpr std::string_view kNoProject = "No project";
// The description with the extra details in brackets: "Weeding [client: Acme] [tags: a, b]".
[[nodiscard]] std::string describedWith(std::string description,
                                        const std::vector<std::pair<std::string, std::string>>& details);
// A stable name for an entry without an id of its own: the format, then a hash of its fields.
[[nodiscard]] std::string hashedSourceId(Format format, const std::vector<std::string_view>& fields);

}  // namespace lumetra::Converter
