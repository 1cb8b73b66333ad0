#include "commands/LocalCommands.hpp"

#include "commands/ConvertCommand.hpp"
#include "commands/InstallCommands.hpp"

#include "convert/Conversion.hpp"

namespace lumetra::LocalCommands {

Commands::Output run(const Commands::Row& row, const Arguments& arguments, const std::filesystem::path& bundle,
                     const Environment& environment, const std::function<std::vector<std::string>()>& projects) {
  using Commands::Local;
  const auto& words = arguments.positionals();
  switch (row.local) {
    case Local::convert: {
      Converter::Options options;
      options.projectTags = Conversion::tagList(arguments.value("--project-tags").value_or(""));
      options.untagged = arguments.value("--untagged").value_or(options.untagged);
      if (projects) options.projects = projects();
      return ConvertCommand::run(words[1], words[2], arguments.value("--output"), arguments.has("--skip-bad"), options);
    }
    case Local::installTool: return InstallCommands::installTool(bundle, environment);
    case Local::uninstallTool: return InstallCommands::uninstallTool(bundle, environment);
    case Local::installClaude: return InstallCommands::installClaude(bundle, environment);
    case Local::installMCP: return InstallCommands::installMCP(words[1], bundle, environment);
    case Local::installService: return InstallCommands::loginService(true, bundle, environment);
    case Local::uninstallService: return InstallCommands::loginService(false, bundle, environment);
    case Local::none: break;
  }
  return {};
}

}  // namespace lumetra::LocalCommands
