#include "platform/UserFolders.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

extern char** environ;

namespace lumetra::UserFolders {

Environment currentEnvironment() {
  Environment environment;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string text(*entry);
    const auto equals = text.find('=');
    if (equals == std::string::npos) continue;
    environment.emplace(text.substr(0, equals), text.substr(equals + 1));
  }
  return environment;
}

std::optional<std::string> environmentValue(const char* name) {
  if (const char* value = std::getenv(name)) return std::string(value);
  return std::nullopt;
}

std::filesystem::path home(const Environment& environment) {
  if (auto it = environment.find("HOME"); it != environment.end() && !it->second.empty()) return it->second;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
    return result->pw_dir;
  }
  return "/";
}

}  // namespace lumetra::UserFolders
