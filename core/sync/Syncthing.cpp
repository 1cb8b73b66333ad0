#include "sync/Syncthing.hpp"

#include <algorithm>
#include <cctype>

#include "platform/FileSystem.hpp"
#include "platform/LoopbackHTTP.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra::Syncthing {

namespace fs = std::filesystem;

namespace {

// XML's five entities, as Syncthing writes paths and keys.
std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    for (const auto& [entity, c] : {std::pair{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}) {
      if (text.substr(i).starts_with(entity)) {
        out += c;
        i += std::string_view(entity).size() - 1;
        break;
      }
    }
  }
  return out;
}

// The attribute's value in a start tag's text.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const auto at = tag.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const auto end = tag.find('"', at + key.size());
  if (end == std::string_view::npos) return std::nullopt;
  return unescaped(tag.substr(at + key.size(), end - at - key.size()));
}

// The text of the first <name>…</name> within `within`.
std::optional<std::string> element(std::string_view within, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">", close = "</" + std::string(name) + ">";
  const auto at = within.find(open);
  if (at == std::string_view::npos) return std::nullopt;
  const auto end = within.find(close, at);
  if (end == std::string_view::npos) return std::nullopt;
  return unescaped(within.substr(at + open.size(), end - at - open.size()));
}

// A query value with everything but unreserved characters and "/" percent-encoded.
std::string encoded(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += c;
    } else {
      out += '%';
      out += kDigits[byte >> 4];
      out += kDigits[byte & 15];
    }
  }
  return out;
}

}  // namespace

std::optional<Config> read(std::string_view xml) {
  if (xml.find("<configuration") == std::string_view::npos) return std::nullopt;
  Config config;
  const auto gui = xml.find("<gui ");
  if (gui == std::string_view::npos) return std::nullopt;
  const auto guiEnd = xml.find("</gui>", gui);
  const std::string_view section = xml.substr(gui, guiEnd == std::string_view::npos ? std::string_view::npos : guiEnd - gui);
  config.tls = attribute(section.substr(0, section.find('>')), "tls") == "true";
  config.address = element(section, "address").value_or("");
  config.apiKey = element(section, "apikey").value_or("");
  for (std::size_t at = xml.find("<folder "); at != std::string_view::npos; at = xml.find("<folder ", at + 1)) {
    const std::string_view tag = xml.substr(at, xml.find('>', at) - at);
    const auto id = attribute(tag, "id"), path = attribute(tag, "path");
    if (id && path && !id->empty()) config.folders.emplace_back(*id, fs::path(*path));
  }
  if (config.address.empty() || config.apiKey.empty()) return std::nullopt;
  return config;
}

std::vector<fs::path> configFiles() {
  std::vector<fs::path> files;
  if (const auto home = UserFolders::environmentValue("STHOMEDIR"); home && !home->empty()) {
    files.push_back(fs::path(*home) / "config.xml");
  }
  const fs::path home = UserFolders::home(UserFolders::currentEnvironment());
  const auto state = UserFolders::environmentValue("XDG_STATE_HOME");
  const auto settings = UserFolders::environmentValue("XDG_CONFIG_HOME");
  files.push_back((state && !state->empty() ? fs::path(*state) : home / ".local" / "state") / "syncthing" / "config.xml");
  files.push_back((settings && !settings->empty() ? fs::path(*settings) : home / ".config") / "syncthing" / "config.xml");
  files.push_back(home / "Library" / "Application Support" / "Syncthing" / "config.xml");
  return files;
}

bool rescan(const fs::path& folder) {
  std::error_code error;
  const fs::path wanted = fs::weakly_canonical(folder, error);
  for (const auto& file : configFiles()) {
    std::string xml;
    try {
      xml = FileSystem::readFile(file);
    } catch (const std::exception&) {
      continue;
    }
    const auto config = read(xml);
    if (!config || config->tls || !LoopbackHTTP::isLoopback(config->address)) continue;
    for (const auto& [id, path] : config->folders) {
      const fs::path kept = fs::weakly_canonical(path, error);
      const auto [end, rest] = std::mismatch(kept.begin(), kept.end(), wanted.begin(), wanted.end());
      if (end != kept.end()) continue;
      std::string sub;
      for (auto part = rest; part != wanted.end(); ++part) sub += (sub.empty() ? "" : "/") + part->string();
      std::string target = "/rest/db/scan?folder=" + encoded(id);
      if (!sub.empty()) target += "&sub=" + encoded(sub);
      const auto status = LoopbackHTTP::post(config->address, target, {{"X-API-Key", config->apiKey}}, 2);
      return status == 200;
    }
  }
  return false;
}

}  // namespace lumetra::Syncthing
