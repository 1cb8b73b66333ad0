#include "install/AppMover.hpp"

#include "platform/FileSystem.hpp"
#include "platform/PropertyList.hpp"

namespace lumetra::AppMover {

namespace fs = std::filesystem;

namespace {

fs::path resolved(const fs::path& path) {
  std::error_code error;
  const auto canonical = fs::weakly_canonical(path, error);
  return error ? path : canonical;
}

// Removes the quarantine marker from the location and everything below it, links untouched.
void removeQuarantine(const fs::path& location) noexcept {
  const std::string& name = FileSystem::quarantineAttribute();
  FileSystem::removeAttribute(location, name);
  std::error_code error;
  for (fs::recursive_directory_iterator it(location, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    FileSystem::removeAttribute(it->path(), name);
  }
}

}  // namespace

std::vector<fs::path> applicationsFolders(const fs::path& home) { return {"/Applications", home / "Applications"}; }

bool isInApplicationsFolder(const fs::path& bundle, const fs::path& home) {
  const std::string path = resolved(bundle).string();
  for (const auto& folder : applicationsFolders(home)) {
    if (path.starts_with(resolved(folder).string() + "/")) return true;
  }
  return false;
}

std::vector<fs::path> installedCopies(const std::string& bundleName, const std::set<std::string>& bundleIds,
                                      const std::vector<fs::path>& folders) {
  std::vector<fs::path> copies;
  for (const auto& folder : folders) {
    const fs::path candidate = folder / bundleName;
    const auto identifier = PropertyList::string(candidate / "Contents" / "Info.plist", "CFBundleIdentifier");
    if (identifier && bundleIds.contains(*identifier)) copies.push_back(candidate);
  }
  return copies;
}

bool isTranslocated(const fs::path& location) {
  return location.string().find("/AppTranslocation/") != std::string::npos;
}

fs::path preferredApplicationsFolder(const fs::path& home) {
  if (FileSystem::isWritableFolder("/Applications")) return "/Applications";
  return home / "Applications";
}

fs::path install(const fs::path& bundle, const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path destination = folder / bundle.filename();
  FileSystem::replaceAtomically(destination, [&](const fs::path& temporary) {
    fs::copy(bundle, temporary, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    // The old copy goes only once the new one is complete beside it: a folder can't be renamed over.
    if (fs::exists(fs::symlink_status(destination))) fs::remove_all(destination);
  });
  removeQuarantine(destination);
  return destination;
}

}  // namespace lumetra::AppMover
