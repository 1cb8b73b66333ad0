#include "commands/ConvertCommand.hpp"

#include "convert/Converter.hpp"
#include "platform/FileSystem.hpp"
#include "platform/SystemError.hpp"

namespace lumetra::ConvertCommand {

namespace {

using CommandLineTool::Output;

const char* const kUsageHint = "\nRun “lumetra-app help” for usage.\n";

std::string formatChoices() {
  std::vector<std::string_view> names;
  for (const auto& [format, name] : Converter::kFormatNames) names.push_back(name);
  return CommandLineTool::listedChoices(names);
}

Output usage(const std::string& message) { return Output{2, "", "lumetra-app: " + message + kUsageHint}; }

}  // namespace

Output run(const std::string& formatName, const std::string& file, const std::optional<std::string>& output,
           bool skipBad, const Converter::Options& options) {
  const auto format = Converter::format(formatName);
  if (!format) return usage("There's no format named “" + formatName + "”. Choose " + formatChoices() + ".");

  std::string text;
  try {
    text = file == "-" ? FileSystem::readStandardInput() : FileSystem::readFile(file);
  } catch (const std::system_error& error) {
    return Output{1, "", "lumetra-app: Couldn't read " + file + ": " + SystemError::text(error.code().value()) + ".\n"};
  }
  const ReadExport read = Converter::read(*format, text, Calendar::current(), options);
  std::string err;
  // Leaving rows out can't help a file that isn't this kind of export at all.
  const bool writing = read.problems.empty() || (skipBad && !read.entries.empty() && !read.unreadable);
  for (const auto& problem : read.problems) {
    err += (writing ? "Left out line " : "Line ") + std::to_string(problem.line) + ": " + problem.message + "\n";
  }
  for (const auto& note : read.notes) err += note + "\n";
  if (read.unreadable) return Output{1, "", err + "lumetra-app: Nothing was written.\n"};
  if (!writing) {
    const std::size_t lines = [&] {
      std::vector<std::int64_t> seen;
      for (const auto& problem : read.problems) {
        if (seen.empty() || seen.back() != problem.line) seen.push_back(problem.line);
      }
      return seen.size();
    }();
    err += "lumetra-app: Nothing was written: " + std::to_string(lines) + (lines == 1 ? " line" : " lines") +
           " can't be read. Fix " + (lines == 1 ? "it" : "them") + ", or give --skip-bad to leave " +
           (lines == 1 ? "it" : "them") + " out.\n";
    return Output{1, "", err};
  }
  const std::string csv = Converter::csv(read.entries);
  const std::string count = std::to_string(read.entries.size()) + (read.entries.size() == 1 ? " entry" : " entries");
  if (!output) {
    err += "Converted " + count + " from " + formatName + ".\n";
    return Output{0, csv, err};
  }
  try {
    FileSystem::writeOutput(*output, csv);
  } catch (const std::exception& error) {
    return Output{1, "", err + "lumetra-app: Couldn't write " + *output + ": " + describe(error) + "\n"};
  }
  err += "Converted " + count + " from " + formatName + " to " + *output + ". Check it with: lumetra import " +
         *output + " --dry-run\n";
  return Output{0, "", err};
}

}  // namespace lumetra::ConvertCommand
