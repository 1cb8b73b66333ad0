#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The Syncthing running on this computer, as far as Lumetra talks to it: its own configuration
// file says where its REST API listens (on the loopback address), with which key, and which
// folders it keeps; `sync now` asks it to look at one of them at once.
namespace lumetra::Syncthing {

struct Config {
  std::string address, apiKey;  // the GUI's "host:port"; its API key
  bool tls = false;
  std::vector<std::pair<std::string, std::filesystem::path>> folders;  // id, path
};

// The configuration in an XML config file's text, or nothing when it isn't one.
[[nodiscard]] std::optional<Config> read(std::string_view xml);
// The configuration files to look in: $STHOMEDIR's, then the user's state and config folders'.
[[nodiscard]] std::vector<std::filesystem::path> configFiles();

// Asks the Syncthing that keeps `folder` to rescan it now. False when none does, none is
// running, it listens elsewhere than on loopback or over TLS, or it says no.
bool rescan(const std::filesystem::path& folder);

}  // namespace lumetra::Syncthing
