#include "commands/InstallCommands.hpp"

#include <optional>
#include <sstream>

#include "install/AssistantConfig.hpp"
#include "install/ClaudeDesktopConfig.hpp"
#include "install/LoginService.hpp"
#include "install/ToolInstaller.hpp"

namespace lumetra::InstallCommands {

namespace fs = std::filesystem;

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

// Where a program of this bundle already answers to its name on the PATH (a packaged install
// links /usr/bin to it), or nothing.
std::optional<fs::path> onPathAlready(const fs::path& program, const Environment& environment) {
  const auto it = environment.find("PATH");
  if (it == environment.end()) return std::nullopt;
  std::stringstream entries(it->second);
  for (std::string entry; std::getline(entries, entry, ':');) {
    std::error_code error;
    const fs::path found = fs::path(entry) / program.filename();
    if (!entry.empty() && fs::equivalent(found, program, error)) return found;
  }
  return std::nullopt;
}

}  // namespace

Output installTool(const fs::path& bundle, const Environment& environment) {
  const fs::path folder = ToolInstaller::destinationFolder(UserFolders::home(environment));
  const auto tool = onPathAlready(ToolInstaller::toolURL(bundle), environment);
  const auto app = onPathAlready(ToolInstaller::appURL(bundle), environment);
  if (tool && app && tool->parent_path() != folder) {
    return Output{0, "The commands are already on your PATH: " + tool->string() + " and " + app->string() +
                         ". Nothing was changed.\n", ""};
  }
  std::string out;
  try {
    // The tool first: it is what everything else needs, and what the help points at.
    for (const fs::path& program : {ToolInstaller::toolURL(bundle), ToolInstaller::appURL(bundle)}) {
      const fs::path link = ToolInstaller::install(program, folder);
      out += "Linked " + link.string() + " to " + program.string() + ".\n";
    }
  } catch (const ToolInstaller::InstallError& error) {
    return Output{1, out, "lumetra-app: " + error.description() + "\n"};
  } catch (const fs::filesystem_error& error) {
    return Output{1, out, "lumetra-app: Couldn't link the command-line tool. " + systemText(error) + "\n"};
  }
  if (!onPath(folder, environment)) {
    out += folder.string() + " isn't on your PATH. Add it, for example with: export PATH=\"" + folder.string() +
           ":$PATH\"\n";
  }
  return Output{0, out, ""};
}

Output uninstallTool(const fs::path& bundle, const Environment& environment) {
  const fs::path user = ToolInstaller::userFolder(UserFolders::home(environment));
  std::string out;
  try {
    for (const fs::path& folder : {ToolInstaller::systemFolder, user}) {
      for (const fs::path& program : {ToolInstaller::toolURL(bundle), ToolInstaller::appURL(bundle)}) {
        if (ToolInstaller::uninstall(program, folder)) out += "Removed " + (folder / program.filename()).string() + ".\n";
      }
    }
  } catch (const fs::filesystem_error& error) {
    return Output{1, out, "lumetra-app: Couldn't remove a link. " + systemText(error) + "\n"};
  }
  if (out.empty()) {
    out = "There are no links to this copy of Lumetra in " + ToolInstaller::systemFolder.string() + " or " +
          user.string() + ".\n";
  }
  return Output{0, out, ""};
}

namespace {

// What registering with an assistant printed; `restart` names what must start again.
Output registered(AssistantConfig::Outcome outcome, const std::string& title, const std::string& restart,
                  const fs::path& file) {
  switch (outcome) {
    case AssistantConfig::Outcome::added:
      return Output{0, "Added Lumetra to " + title + "'s settings (" + file.string() + "). Restart " + restart +
                           " to use it.\n", ""};
    case AssistantConfig::Outcome::updated:
      return Output{0, "Updated Lumetra in " + title + "'s settings (" + file.string() + "). Restart " + restart +
                           " to use it.\n", ""};
    case AssistantConfig::Outcome::unchanged:
      return Output{0, "Lumetra is already set up in " + title + " (" + file.string() + ").\n", ""};
  }
  return failure("Couldn't update " + title + "'s settings.");
}

std::string assistantChoices() {
  std::vector<std::string_view> ids;
  for (const auto& assistant : AssistantConfig::all()) ids.push_back(assistant.id);
  return CommandLineTool::listedChoices(ids);
}

}  // namespace

Output installClaude(const fs::path& bundle, const Environment& environment) {
  const fs::path file = ClaudeDesktopConfig::configURL(UserFolders::home(environment));
  const std::string title = "the Claude desktop app";
  try {
    return registered(ClaudeDesktopConfig::install(ToolInstaller::toolURL(bundle), file), title, "Claude", file);
  } catch (const InstallError& error) {
    return failure(error.description());
  } catch (const fs::filesystem_error& error) {
    return failure("Couldn't update " + title + "'s settings. " + systemText(error));
  }
}

Output installMCP(const std::string& name, const fs::path& bundle, const Environment& environment) {
  const AssistantConfig* assistant = AssistantConfig::named(name);
  if (!assistant) {
    return Output{2, "", "lumetra-app: There's no assistant named “" + name + "”. Choose " + assistantChoices() +
                             ".\nRun “lumetra-app help” for usage.\n"};
  }
  // A scratch host's folder goes into the entry, so the assistant's tool reaches the same host.
  std::optional<fs::path> dataFolder;
  if (const auto it = environment.find("LUMETRA_DATA_DIR"); it != environment.end() && !it->second.empty()) {
    dataFolder = fs::absolute(it->second).lexically_normal();
  }
  const std::string title(assistant->title);
  const fs::path file = assistant->settingsFile(environment);
  try {
    const InstallError missing(InstallError::Case::assistantNotFound, assistant->requiredFolder(environment), title);
    return registered(assistant->install(ToolInstaller::toolURL(bundle), dataFolder, file, missing), title, title,
                      file);
  } catch (const InstallError& error) {
    return failure(error.description());
  } catch (const fs::filesystem_error& error) {
    return failure("Couldn't update " + title + "'s settings. " + systemText(error));
  }
}

Output loginService(bool installing, const fs::path& bundle, const Environment& environment) {
  const auto manager = ServiceManager::systemdUser();
  try {
    const std::string said = installing
                                 ? LoginService::install(*manager, bundle / "Contents" / "MacOS" / "lumetra-app", environment)
                                 : LoginService::uninstall(*manager, environment);
    return Output{0, said + "\n", ""};
  } catch (const InstallError& error) {
    return failure(error.description());
  } catch (const fs::filesystem_error& error) {
    return failure(std::string(installing ? "Couldn't set Lumetra to start at login. " : "Couldn't undo starting at login. ") +
                   systemText(error));
  }
}

fs::path bundleOf(const fs::path& executable) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(executable, error);
  return (error ? executable : resolved).parent_path().parent_path().parent_path();
}

}  // namespace lumetra::InstallCommands
