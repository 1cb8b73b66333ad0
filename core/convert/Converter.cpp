#include "convert/Converter.hpp"

#include <cstdio>

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

ReadExport read(Format value, std::string_view text) {
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
    return failed;
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  switch (value) {
    case Format::toggl:
    case Format::clockify:
      return ExportTable::read(value, text);
    case Format::timewarrior:
    case Format::watson:
      return ExportJSON::read(value, text);
  }
  return {};
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
