#include "convert/ExportJSON.hpp"
#include "platform/UnicodeText.hpp"

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

namespace lumetra::ExportJSON {

namespace {

using JSON = nlohmann::json;

// Deeper than this, an element isn't an export's, and copying it would recurse too far.
constexpr int kMaxDepth = 32;
struct TooDeep {};

JSON bounded(std::string_view text) {
  return JSON::parse(text.begin(), text.end(), [](int depth, JSON::parse_event_t, JSON&) {
    if (depth > kMaxDepth) throw TooDeep();
    return true;
  });
}

struct Element {
  std::int64_t line = 0;
  std::string_view text;
};

// The elements of the top-level array, each with the line it starts on; nothing when the text
// isn't an array. Strings are skipped whole, so brackets inside them don't count.
std::optional<std::vector<Element>> elements(std::string_view text, std::int64_t& line) {
  std::vector<Element> found;
  std::size_t i = text.find_first_not_of(" \t\r\n");
  line = 1;
  for (std::size_t k = 0; k < i && k < text.size(); ++k) line += text[k] == '\n';
  if (i == std::string_view::npos || text[i] != '[') return std::nullopt;
  int depth = 0;
  std::size_t begin = std::string_view::npos;
  std::int64_t beginLine = line;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == '\n') ++line;
      }
      continue;
    }
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (depth == 1 && begin == std::string_view::npos && !space && c != ',' && c != ']') {
      begin = i;
      beginLine = line;
    }
    if (c == '[' || c == '{') {
      ++depth;
    } else if (c == ']' || c == '}') {
      --depth;
    }
    if ((depth == 1 && c == ',') || depth == 0) {
      if (begin != std::string_view::npos) found.push_back({beginLine, text.substr(begin, i - begin)});
      begin = std::string_view::npos;
      if (depth == 0) return found;
    }
  }
  return std::nullopt;  // never closed
}

std::string isoUTC(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds instant{std::chrono::seconds(seconds)};
  const auto days = floor<std::chrono::days>(instant);
  const year_month_day date{days};
  const hh_mm_ss time{instant - days};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                static_cast<long long>(time.seconds().count()));
  return text;
}

// "20261201T080000Z" as "2026-12-01T08:00:00Z", checked.
std::optional<std::string> timewarriorTime(const JSON& value) {
  if (!value.is_string()) return std::nullopt;
  const std::string text = value.get<std::string>();
  if (text.size() != 16 || text[8] != 'T' || text[15] != 'Z') return std::nullopt;
  for (std::size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const auto number = [&](std::size_t at, std::size_t count) { return std::stoi(text.substr(at, count)); };
  const std::chrono::year_month_day date{std::chrono::year(number(0, 4)),
                                         std::chrono::month(static_cast<unsigned>(number(4, 2))),
                                         std::chrono::day(static_cast<unsigned>(number(6, 2)))};
  if (!date.ok() || number(9, 2) > 23 || number(11, 2) > 59 || number(13, 2) > 59) return std::nullopt;
  return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + "T" + text.substr(9, 2) + ":" +
         text.substr(11, 2) + ":" + text.substr(13, 2) + "Z";
}

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

// Reads one element into `entry`; the messages say what is wrong. Returns false for an entry
// that is left out on purpose (a running timer), with the note in `note`.
// Whether a tag names a project: one given, or one already here, ignoring ASCII case.
bool namesProject(const std::string& tag, const Converter::Options& options) {
  const auto folded = UnicodeText::asciiLowercased(tag);
  for (const auto* list : {&options.projectTags, &options.projects}) {
    for (const auto& name : *list) {
      if (UnicodeText::asciiLowercased(name) == folded) return true;
    }
  }
  return false;
}

bool timewarrior(const JSON& interval, ConvertedEntry& entry, std::vector<std::string>& messages, std::string& note,
                 const Converter::Options& options, bool& guessed) {
  if (!interval.is_object()) {
    messages.push_back("An interval must be a JSON object.");
    return true;
  }
  const auto start = interval.contains("start") ? timewarriorTime(interval["start"]) : std::nullopt;
  if (!start) messages.push_back("The interval has no start like 20261201T080000Z.");
  if (!interval.contains("end")) {
    note = "its interval is still open. Stop it and export again to bring it over.";
    return false;
  }
  const auto end = timewarriorTime(interval["end"]);
  if (!end) messages.push_back("The interval's end isn't a time like 20261201T080000Z.");
  if (start && end && !(*end > *start)) messages.push_back("The interval ends before it starts.");
  std::vector<std::string> tags;
  if (interval.contains("tags")) {
    if (!interval["tags"].is_array()) messages.push_back("Its tags must be a list of texts.");
    for (const auto& tag : interval.value("tags", JSON::array())) {
      if (tag.is_string()) tags.push_back(tag.get<std::string>());
    }
  }
  const auto annotation = interval.value("annotation", JSON(""));
  if (!messages.empty()) return true;
  // Timewarrior keeps tags sorted: the project is the first that names one, else the first.
  auto chosen = std::find_if(tags.begin(), tags.end(), [&](const std::string& tag) { return namesProject(tag, options); });
  if (chosen == tags.end() && !tags.empty()) {
    chosen = tags.begin();
    guessed = guessed || tags.size() > 1;
  }
  entry.project = chosen == tags.end() ? options.untagged : *chosen;
  entry.start = *start;
  entry.end = *end;
  std::vector<std::string> others;
  for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
    if (tag != chosen) others.push_back(*tag);
  }
  entry.description =
      Converter::describedWith(annotation.is_string() ? annotation.get<std::string>() : "", {{"tags", joined(others)}});
  // Intervals never overlap, so the start names one; its position ("id") changes as time goes on.
  entry.sourceId = "timewarrior:" + interval["start"].get<std::string>();
  return true;
}

bool watson(const JSON& frame, ConvertedEntry& entry, std::vector<std::string>& messages) {
  if (!frame.is_array() || frame.size() < 5 || !frame[0].is_number_integer() || !frame[1].is_number_integer() ||
      !frame[2].is_string() || !frame[3].is_string() || !frame[4].is_array()) {
    messages.push_back("A frame must be [start, stop, project, id, tags, …] with Unix times.");
    return true;
  }
  const auto start = frame[0].get<std::int64_t>(), stop = frame[1].get<std::int64_t>();
  if (!(stop > start)) messages.push_back("The frame ends before it starts.");
  if (start < 0 || stop > 253402300799) messages.push_back("The frame's times are out of range.");
  if (!messages.empty()) return true;
  std::vector<std::string> tags;
  for (const auto& tag : frame[4]) {
    if (tag.is_string()) tags.push_back(tag.get<std::string>());
  }
  entry.project = frame[2].get<std::string>().empty() ? std::string(Converter::kNoProject) : frame[2].get<std::string>();
  entry.start = isoUTC(start);
  entry.end = isoUTC(stop);
  const std::string note = frame.size() > 6 && frame[6].is_string() ? frame[6].get<std::string>() : "";
  entry.description = Converter::describedWith(note, {{"tags", joined(tags)}});
  entry.sourceId = "watson:" + frame[3].get<std::string>();
  return true;
}

}  // namespace

ReadExport read(Converter::Format format, std::string_view text, const Converter::Options& options) {
  ReadExport result;
  bool guessed = false;  // an interval's project taken as its first tag among several
  std::int64_t line = 1;
  const auto all = elements(text, line);
  if (!all) {
    result.problems.push_back({line, format == Converter::Format::timewarrior
                                         ? "This isn't the JSON list `timew export` writes."
                                         : "This isn't the JSON list of Watson's frames file."});
    result.unreadable = true;
    return result;
  }
  for (const auto& element : *all) {
    std::vector<std::string> messages;
    ConvertedEntry entry;
    entry.line = element.line;
    std::string note;
    bool kept = true;
    try {
      const JSON value = bounded(element.text);
      kept = format == Converter::Format::timewarrior ? timewarrior(value, entry, messages, note, options, guessed)
                                                      : watson(value, entry, messages);
    } catch (const JSON::exception&) {
      messages.push_back("This element isn't valid JSON.");
    } catch (const TooDeep&) {
      messages.push_back("This element is nested more than " + std::to_string(kMaxDepth) + " levels deep.");
    }
    if (!kept) {
      result.notes.push_back("Left out line " + std::to_string(element.line) + ": " + note);
    } else if (!messages.empty()) {
      for (auto& message : messages) result.problems.push_back({element.line, std::move(message)});
    } else {
      result.entries.push_back(std::move(entry));
    }
  }
  if (guessed) {
    result.notes.push_back("Timewarrior stores tags sorted, so an interval's project was taken as its first tag "
                           "alphabetically. Name the tags that are projects with --project-tags A,B.");
  }
  return result;
}

}  // namespace lumetra::ExportJSON
