#include "ConvertCommand.hpp"

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

std::optional<Output> run(std::span<const std::string> arguments) {
  if (arguments.empty() || arguments[0] != "convert") return std::nullopt;
  std::vector<std::string> positionals;
  std::optional<std::string> output;
  bool skipBad = false, optionsEnded = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (optionsEnded || word == "-" || !word.starts_with("-")) {
      positionals.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (word == "-o" || word == "--output") {
      if (i + 1 >= arguments.size()) return usage(word + " needs a value.");
      output = arguments[++i];
    } else if (word == "--skip-bad") {
      skipBad = true;
    } else {
      return usage("Unknown option " + word + ".");
    }
  }
  if (positionals.size() != 2) {
    return usage("convert needs a format (" + formatChoices() + ") and the export's file.");
  }
  const auto format = Converter::format(positionals[0]);
  if (!format) return usage("There's no format named “" + positionals[0] + "”. Choose " + formatChoices() + ".");

  std::string text;
  try {
    text = positionals[1] == "-" ? FileSystem::readStandardInput() : FileSystem::readFile(positionals[1]);
  } catch (const std::system_error& error) {
    return Output{1, "", "lumetra-app: Couldn't read " + positionals[1] + ": " + SystemError::text(error.code().value()) + ".\n"};
  }
  const ReadExport read = Converter::read(*format, text);
  std::string err;
  const bool writing = read.problems.empty() || (skipBad && !read.entries.empty());
  for (const auto& problem : read.problems) {
    err += (writing ? "Left out line " : "Line ") + std::to_string(problem.line) + ": " + problem.message + "\n";
  }
  for (const auto& note : read.notes) err += note + "\n";
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
    err += "Converted " + count + " from " + positionals[0] + ".\n";
    return Output{0, csv, err};
  }
  try {
    FileSystem::writeAtomically(*output, csv);
  } catch (const std::exception& error) {
    return Output{1, "", err + "lumetra-app: Couldn't write " + *output + ": " + describe(error) + "\n"};
  }
  err += "Converted " + count + " from " + positionals[0] + " to " + *output + ". Check it with: lumetra import " +
         *output + " --dry-run\n";
  return Output{0, "", err};
}

}  // namespace lumetra::ConvertCommand
