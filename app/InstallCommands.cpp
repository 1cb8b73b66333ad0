#include "InstallCommands.hpp"

#include <sstream>

#include "install/ClaudeDesktopConfig.hpp"
#include "install/ToolInstaller.hpp"

namespace lumetra::InstallCommands {

namespace fs = std::filesystem;
using CommandLineTool::Output;

namespace {

Output failure(const std::string& message) { return Output{1, "", "lumetra-app: " + message + "\n"}; }

std::string systemText(const fs::filesystem_error& error) {
  return error.path1().string() + ": " + error.code().message() + ".";
}

bool onPath(const fs::path& folder, const Environment& environment) {
  const auto it = environment.find("PATH");
  if (it == environment.end()) return false;
  std::stringstream entries(it->second);
  std::string entry;
  while (std::getline(entries, entry, ':')) {
    std::error_code error;
    if (!entry.empty() && fs::equivalent(entry, folder, error)) return true;
  }
  return false;
}

Output installTool(const fs::path& bundle, const Environment& environment) {
  const fs::path tool = ToolInstaller::toolURL(bundle);
  const fs::path folder = ToolInstaller::destinationFolder(UserFolders::home(environment));
  try {
    const fs::path link = ToolInstaller::install(tool, folder);
    std::string out = "Linked " + link.string() + " to " + tool.string() + ".\n";
    if (!onPath(folder, environment)) {
      out += folder.string() + " isn't on your PATH. Add it, for example with: export PATH=\"" + folder.string() +
             ":$PATH\"\n";
    }
    return Output{0, out, ""};
  } catch (const ToolInstaller::InstallError& error) {
    return failure(error.description());
  } catch (const fs::filesystem_error& error) {
    return failure("Couldn't link the command-line tool. " + systemText(error));
  }
}

Output installClaude(const fs::path& bundle, const Environment& environment) {
  const fs::path file = ClaudeDesktopConfig::configURL(UserFolders::home(environment));
  try {
    switch (ClaudeDesktopConfig::install(ToolInstaller::toolURL(bundle), file)) {
      case ClaudeDesktopConfig::Outcome::added:
        return Output{0, "Added Lumetra to the Claude desktop app's settings (" + file.string() +
                             "). Restart Claude to use it.\n", ""};
      case ClaudeDesktopConfig::Outcome::updated:
        return Output{0, "Updated Lumetra in the Claude desktop app's settings (" + file.string() +
                             "). Restart Claude to use it.\n", ""};
      case ClaudeDesktopConfig::Outcome::unchanged:
        return Output{0, "Lumetra is already set up in the Claude desktop app (" + file.string() + ").\n", ""};
    }
  } catch (const ClaudeDesktopConfig::InstallError& error) {
    return failure(error.description());
  } catch (const fs::filesystem_error& error) {
    return failure("Couldn't update the Claude desktop app's settings. " + systemText(error));
  }
  return failure("Couldn't update the Claude desktop app's settings.");
}

}  // namespace

fs::path bundleOf(const fs::path& executable) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(executable, error);
  return (error ? executable : resolved).parent_path().parent_path().parent_path();
}

std::optional<Output> run(std::span<const std::string> arguments, const fs::path& bundle,
                          const Environment& environment) {
  if (arguments.empty() || (arguments[0] != "install-tool" && arguments[0] != "install-claude")) return std::nullopt;
  if (arguments.size() > 1) {
    return Output{2, "", "lumetra-app: " + arguments[0] + " takes no options or arguments.\nRun “lumetra-app help” for usage.\n"};
  }
  return arguments[0] == "install-tool" ? installTool(bundle, environment) : installClaude(bundle, environment);
}

}  // namespace lumetra::InstallCommands
