#include "install/ToolInstaller.hpp"

#include <cerrno>

#include "platform/FileSystem.hpp"

namespace lumetra::ToolInstaller {

namespace fs = std::filesystem;

fs::path toolURL(const fs::path& bundle) { return bundle / "Contents" / "Helpers" / "lumetra"; }

fs::path appURL(const fs::path& bundle) { return bundle / "Contents" / "MacOS" / "lumetra-app"; }

namespace {

// Where a program sits inside any bundle: ".app/Contents/Helpers/lumetra" for the tool.
std::string placeInBundle(const fs::path& program) {
  return ".app/Contents/" + program.parent_path().filename().string() + "/" + program.filename().string();
}

}  // namespace

fs::path userFolder(const fs::path& home) { return home / ".local" / "bin"; }

fs::path destinationFolder(const fs::path& home, const fs::path& system) {
  if (FileSystem::isWritableFolder(system)) return system;
  return userFolder(home);
}

fs::path install(const fs::path& tool, const fs::path& folder) {
  if (!FileSystem::isExecutableFile(tool)) throw InstallError(InstallError::Case::toolMissing, tool);
  const fs::path link = folder / tool.filename();

  std::error_code error;
  const auto status = fs::symlink_status(link, error);
  if (fs::is_symlink(status)) {
    const fs::path target = fs::read_symlink(link, error);
    if (!error && target == tool) return link;  // installed already
    const fs::path resolved = (folder / target).lexically_normal();
    const bool anotherCopy = resolved.string().ends_with(placeInBundle(tool));
    if (!anotherCopy && fs::exists(resolved, error)) throw InstallError(InstallError::Case::occupied, link);
  } else if (fs::exists(status)) {
    throw InstallError(InstallError::Case::occupied, link);
  }

  fs::create_directories(folder);
  // The new link is made beside the old one and renamed over it, so a usable link always exists.
  FileSystem::replaceAtomically(link, [&](const fs::path& temporary) { fs::create_symlink(tool, temporary); });
  return link;
}

bool uninstall(const fs::path& program, const fs::path& folder) {
  const fs::path link = folder / program.filename();
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(link, error))) return false;
  const fs::path target = fs::read_symlink(link, error);
  if (error) return false;
  const fs::path resolved = (folder / target).lexically_normal();
  const auto real = [](const fs::path& path) {
    std::error_code ignored;
    const fs::path canonical = fs::weakly_canonical(path, ignored);
    return ignored ? path.lexically_normal() : canonical;
  };
  if (resolved != program.lexically_normal() && real(resolved) != real(program)) return false;
  fs::remove(link);
  return true;
}

}  // namespace lumetra::ToolInstaller
