#include "commands/ConvertCommand.hpp"

#include "convert/Conversion.hpp"
#include "platform/FileSystem.hpp"
#include "platform/SystemError.hpp"

namespace lumetra::ConvertCommand {

namespace {

using CommandLineTool::Output;

const char* const kUsageHint = "\nRun “lumetra-app help” for usage.\n";

Output usage(const std::string& message) { return Output{2, "", "lumetra-app: " + message + kUsageHint}; }

}  // namespace

Output run(const std::string& formatName, const std::string& file, const std::optional<std::string>& output,
           bool skipBad, const Converter::Options& options) {
  const auto format = Converter::format(formatName);
  if (!format) return usage(Conversion::unknownFormat(formatName));

  std::string text;
  try {
    text = file == "-" ? FileSystem::readStandardInput() : FileSystem::readFile(file);
  } catch (const std::system_error& error) {
    return Output{1, "", "lumetra-app: Couldn't read " + file + ": " + SystemError::text(error.code().value()) + ".\n"};
  }
  const Conversion converted = Conversion::of(*format, text, Calendar::current(), skipBad, options);
  std::string err;
  for (const auto& line : converted.lines) err += line + "\n";
  if (converted.unreadable) return Output{1, "", err + "lumetra-app: Nothing was written.\n"};
  if (!converted.csv) {
    const bool one = converted.badLines == 1;
    err += "lumetra-app: Nothing was written: " + converted.unreadableLines() + ". Fix " + (one ? "it" : "them") +
           ", or give --skip-bad to leave " + (one ? "it" : "them") + " out.\n";
    return Output{1, "", err};
  }
  if (!output) {
    err += "Converted " + converted.count() + " from " + formatName + ".\n";
    return Output{0, *converted.csv, err};
  }
  try {
    FileSystem::writeOutput(*output, *converted.csv);
  } catch (const std::exception& error) {
    return Output{1, "", err + "lumetra-app: Couldn't write " + *output + ": " + describe(error) + "\n"};
  }
  err += "Converted " + converted.count() + " from " + formatName + " to " + *output + ". Check it with: lumetra import " +
         *output + " --dry-run\n";
  return Output{0, "", err};
}

}  // namespace lumetra::ConvertCommand
