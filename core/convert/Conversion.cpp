#include "convert/Conversion.hpp"

#include <sstream>

namespace lumetra {

Conversion Conversion::of(Converter::Format format, std::string_view text, const Calendar& calendar, bool skipBad,
                          const Converter::Options& options) {
  const ReadExport read = Converter::read(format, text, calendar, options);
  Conversion out;
  out.unreadable = read.unreadable;
  const bool writing = read.problems.empty() || (skipBad && !read.entries.empty() && !read.unreadable);
  std::int64_t last = 0;
  for (const auto& problem : read.problems) {
    out.lines.push_back((writing ? "Left out line " : "Line ") + std::to_string(problem.line) + ": " + problem.message);
    if (out.badLines == 0 || last != problem.line) ++out.badLines;
    last = problem.line;
  }
  for (const auto& note : read.notes) out.lines.push_back(note);
  if (writing && !read.unreadable) {
    out.csv = Converter::csv(read.entries);
    out.entries = read.entries.size();
  }
  return out;
}

std::string Conversion::unknownFormat(std::string_view name) {
  std::string choices;
  for (std::size_t i = 0; i < Converter::kFormatNames.size(); ++i) {
    choices += (i == 0 ? "" : i + 1 == Converter::kFormatNames.size() ? " or " : ", ") +
               std::string(Converter::kFormatNames[i].second);
  }
  return "There's no format named “" + std::string(name) + "”. Choose " + choices + ".";
}

std::vector<std::string> Conversion::tagList(std::string_view commaSeparated) {
  std::vector<std::string> tags;
  std::stringstream parts{std::string(commaSeparated)};
  for (std::string tag; std::getline(parts, tag, ',');) {
    if (!tag.empty()) tags.push_back(tag);
  }
  return tags;
}

std::string Conversion::unreadableLines() const {
  return std::to_string(badLines) + (badLines == 1 ? " line" : " lines") + " can't be read";
}

std::string Conversion::count() const { return std::to_string(entries) + (entries == 1 ? " entry" : " entries"); }

}  // namespace lumetra
