#include "actions/WindowPort.hpp"

#include <charconv>

namespace lumetra::WindowPort {

std::optional<std::optional<int>> parse(std::string_view text) {
  if (text == "off") return std::optional<std::optional<int>>(std::in_place, std::nullopt);
  int port = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) return std::nullopt;
  return std::optional<int>(port);
}

Choice choose(const std::optional<std::string>& environment, const std::optional<std::string>& stored) {
  const bool fromVariable = environment && !environment->empty();
  const std::optional<std::string>& chosen = fromVariable ? environment : stored;
  if (!chosen) return {defaultPort, std::nullopt};
  if (auto port = parse(*chosen)) return {*port, std::nullopt};
  const std::string source = fromVariable ? std::string(WindowPort::variable) : "The window's port setting";
  return {std::nullopt, source + " is “" + *chosen + "”, not a port from 1 to 65535 or off, so the window is off."};
}

}  // namespace lumetra::WindowPort
