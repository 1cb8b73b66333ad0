#include "web/WebAccess.hpp"


namespace lumetra::WebAccess {

bool hostAllowed(std::string_view host, int port) {
  std::string suffix = ":";
  suffix += std::to_string(port);
  if (!host.ends_with(suffix)) return false;
  const auto name = host.substr(0, host.size() - suffix.size());
  return name == "127.0.0.1" || name == "localhost";
}

bool originAllowed(std::string_view origin, std::string_view host) {
  return origin.starts_with("http://") && origin.substr(7) == host;
}

std::vector<std::string> cookies(std::string_view header, std::string_view name) {
  std::vector<std::string> values;
  while (!header.empty()) {
    const auto end = header.find(';');
    auto pair = header.substr(0, end);
    while (pair.starts_with(' ')) pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
      values.emplace_back(pair.substr(name.size() + 1));
    }
    if (end == std::string_view::npos) break;
    header.remove_prefix(end + 1);
  }
  return values;
}

bool sameSecret(std::string_view given, std::string_view secret) {
  unsigned char difference = given.size() == secret.size() ? 0 : 1;
  for (std::size_t i = 0; i < secret.size(); ++i) {
    difference |= static_cast<unsigned char>(secret[i] ^ (i < given.size() ? given[i] : 0));
  }
  return difference == 0 && !secret.empty();
}

std::string cookieName(int port) { return "lumetra-" + std::to_string(port); }

}  // namespace lumetra::WebAccess
