#include "install/RunMode.hpp"

#include "store/Store.hpp"

namespace lumetra {

RunMode RunMode::current() { return RunMode{Store::directoryOverride()}; }

RunMode RunMode::from(const Environment& environment) { return RunMode{Store::directoryOverride(environment)}; }

std::optional<std::string> RunMode::menuNote(const std::filesystem::path& home) const {
  if (!scratchDirectory) return std::nullopt;
  const auto standard = [](const std::filesystem::path& p) {
    std::string text = std::filesystem::absolute(p).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
  };
  const std::string scratch = standard(*scratchDirectory), homePath = standard(home);
  if (scratch == homePath) return "Scratch run: ~";
  if (homePath != "/" && scratch.starts_with(homePath + "/")) return "Scratch run: ~" + scratch.substr(homePath.size());
  return "Scratch run: " + scratch;
}

}  // namespace lumetra
