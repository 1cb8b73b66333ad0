#include "platform/FolderWatch.hpp"

namespace lumetra {

// Without a watch here, the host looks on its timer.
FolderWatch::FolderWatch() = default;
FolderWatch::~FolderWatch() = default;
void FolderWatch::watch(const std::vector<std::filesystem::path>&) {}
bool FolderWatch::drain() { return false; }

}  // namespace lumetra
