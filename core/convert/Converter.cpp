#include "convert/Converter.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

#include "convert/ExportJSON.hpp"
#include "convert/ExportTable.hpp"
#include "csv/CSVExporter.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::Converter {

std::optional<Format> format(std::string_view text) {
  for (const auto& [value, label] : kFormatNames) {
    if (label == text) return value;
  }
  return std::nullopt;
}

std::string_view name(Format value) {
  for (const auto& [candidate, label] : kFormatNames) {
    if (candidate == value) return label;
  }
  return {};
}

namespace {

// Keeps the first of entries that share a source ID: a repeat of it is noted and left out,
// one with other values is a problem.
void keepFirstOfEachId(ReadExport& read) {
  std::map<std::string, std::size_t> firstOf;  // source ID → its entry in `kept`
  std::vector<ConvertedEntry> kept;
  for (auto& entry : read.entries) {
    const auto [it, fresh] = firstOf.emplace(entry.sourceId, kept.size());
    if (fresh) {
      kept.push_back(std::move(entry));
      continue;
    }
    const ConvertedEntry& first = kept[it->second];
    const std::string where = "line " + std::to_string(first.line);
    if (std::tie(first.project, first.start, first.end, first.description) ==
        std::tie(entry.project, entry.start, entry.end, entry.description)) {
      read.notes.push_back("Left out line " + std::to_string(entry.line) + ": the same entry as " + where + ".");
    } else {
      read.problems.push_back({entry.line, "It has the id of " + where + " (" + entry.sourceId + "), with other values."});
    }
  }
  std::sort(read.problems.begin(), read.problems.end(),
            [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
  read.entries = std::move(kept);
}

}  // namespace

ReadExport read(Format value, std::string_view text, const Calendar& calendar, const Options& options) {
  if (!UnicodeText::isValidUTF8(text)) {
    // The first line that isn't valid on its own says where to look.
    std::int64_t line = 1;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      if (!UnicodeText::isValidUTF8(text.substr(at, end - at))) break;
      at = end + 1;
      ++line;
    }
    ReadExport failed;
    failed.problems.push_back({line, "This line isn't UTF-8 text. Save the export as UTF-8 and convert it again."});
    failed.unreadable = true;
    return failed;
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  ReadExport read = value == Format::timewarrior || value == Format::watson ? ExportJSON::read(value, text, options)
                                                                             : ExportTable::read(value, text, calendar);
  keepFirstOfEachId(read);
  return read;
}

std::string csv(const std::vector<ConvertedEntry>& entries) {
  std::string out = "Project,Start,End,Description,Source ID\r\n";
  for (const auto& entry : entries) {
    out += CSVExporter::field(CSVExporter::formulaGuarded(entry.project)) + ',' + entry.start + ',' + entry.end + ',' +
           CSVExporter::field(CSVExporter::formulaGuarded(entry.description)) + ',' +
           CSVExporter::field(entry.sourceId) + "\r\n";
  }
  return out;
}

std::string describedWith(std::string description, const std::vector<std::pair<std::string, std::string>>& details) {
  for (const auto& [label, value] : details) {
    if (value.empty()) continue;
    description += (description.empty() ? "[" : " [") + label + ": " + value + "]";
  }
  return description;
}

std::string hashedSourceId(Format value, const std::vector<std::string_view>& fields) {
  // FNV-1a over the fields with a separator no field holds: stable across runs and machines.
  std::uint64_t hash = 14695981039346656037ull;
  const auto mix = [&](unsigned char byte) {
    hash ^= byte;
    hash *= 1099511628211ull;
  };
  for (const auto field : fields) {
    for (const char c : field) mix(static_cast<unsigned char>(c));
    mix(0x1F);
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(name(value)) + ":" + hex;
}

}  // namespace lumetra::Converter
