#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace lumetra::AppMover {

// "/Applications", then the home folder's Applications.
[[nodiscard]] std::vector<std::filesystem::path> applicationsFolders(const std::filesystem::path& home);
// Whether the bundle (links resolved) lies inside one of the Applications folders.
[[nodiscard]] bool isInApplicationsFolder(const std::filesystem::path& bundle, const std::filesystem::path& home);
// The copies named `bundleName` in the folders, in folder order, whose identifier is in the set.
[[nodiscard]] std::vector<std::filesystem::path> installedCopies(const std::string& bundleName,
                                                                 const std::set<std::string>& bundleIds,
                                                                 const std::vector<std::filesystem::path>& folders);
// Whether the system runs the app from a randomised read-only copy.
[[nodiscard]] bool isTranslocated(const std::filesystem::path& location);
// "/Applications" when the user may write to it, else the home folder's Applications.
[[nodiscard]] std::filesystem::path preferredApplicationsFolder(const std::filesystem::path& home);
// Copies the bundle into the folder (beside any old copy first, then in its place) and clears
// the download quarantine marker from every file of it. Returns the installed bundle.
// Throws std::filesystem::filesystem_error.
std::filesystem::path install(const std::filesystem::path& bundle, const std::filesystem::path& folder);

}  // namespace lumetra::AppMover
