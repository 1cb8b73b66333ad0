// What reaches the window: its headers judged by the access rules, then its body carried out as
// the page's control request or host action, on a real store. The first byte picks which, the
// headers are the lines before the first empty one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "actions/HostActions.hpp"
#include "control/WireCoding.hpp"
#include "web/WebAccess.hpp"
#include "web/WindowRequests.hpp"

namespace {

using namespace lumetra;

struct Host {
  Host()
      : folder(std::filesystem::temp_directory_path() / ("lumetra-fuzz-" + std::to_string(::getpid()))),
        store((std::filesystem::create_directories(folder), (folder / "lumetra.sqlite").string())),
        tracker(store, 600, Instant(1.8e9)),
        reader((folder / "lumetra.sqlite").string(), Database::readOnly),
        sync(store, folder),
        actions(tracker, reader, sync) {}
  ~Host() { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
  Store store;
  Tracker tracker;
  Store reader;
  SyncEngine sync;
  HostActions actions;
};

void judge(std::string_view headers) {
  constexpr int port = 47823;
  while (!headers.empty()) {
    const auto end = headers.find('\n');
    const std::string_view line = headers.substr(0, end);
    headers.remove_prefix(end == std::string_view::npos ? headers.size() : end + 1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon), value = line.substr(colon + 1);
    if (name == "Host" && WebAccess::hostAllowed(value, port) && value != "127.0.0.1:47823" && value != "localhost:47823") {
      __builtin_trap();
    }
    if (name == "Origin" && WebAccess::originAllowed(value, "127.0.0.1:47823") && value != "http://127.0.0.1:47823") {
      __builtin_trap();
    }
    if (name == "Cookie") {
      for (const auto& cookie : WebAccess::cookies(value, WebAccess::cookieName(port))) {
        if (cookie.find(';') != std::string::npos) __builtin_trap();
        if (WebAccess::sameSecret(cookie, "feed") != (cookie == "feed")) __builtin_trap();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static Host host;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto split = input.find("\n\n");
  judge(input.substr(0, split));
  if (split == std::string_view::npos) return 0;
  std::string body(input.substr(split + 2));
  // Days pass between requests, so that ranges and running sessions meet many moments.
  const Instant now(1.8e9 + 3600.0 * data[0]);
  const std::string reply = data[0] % 2 ? WindowRequests::control(host.actions, std::move(body), now)
                                        : WindowRequests::action(host.actions, body, now);
  // Every answer is a JSON object saying whether it went well.
  const JSON answer = WireCoding::parse(reply);
  if (!answer.is_object() || (!answer.contains("ok") && !answer.contains("error"))) __builtin_trap();
  return 0;
}
