#include "web/WebServer.hpp"

#include <microhttpd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <vector>

#include "cli/Commands.hpp"
#include "platform/FileDescriptor.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/SecureRandom.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnixSocket.hpp"
#include "web/WebAccess.hpp"
#include "web/WebAssets.hpp"
#include "web/WindowRequests.hpp"

namespace lumetra {

namespace {

constexpr const char* kJSON = "application/json; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kTooLarge = "That's more than Lumetra's window takes in one request.\n";

// Only the page's own files run; nothing is loaded from elsewhere, nothing embeds the page.
constexpr std::pair<const char*, const char*> kSecurityHeaders[] = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
     "form-action 'none'; frame-ancestors 'none'; base-uri 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cross-Origin-Opener-Policy", "same-origin"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
    {"Cache-Control", "no-store"},
};

// A file name for an export's range: "All Time" becomes "lumetra-all-time.csv".
std::string exportName(const std::string& range) {
  std::string name = "lumetra";
  bool dash = true;
  for (const char c : range) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (word && dash) name += '-';
    if (word) name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    dash = !word;
  }
  return name + ".csv";
}

std::string value(MHD_Connection* connection, MHD_ValueKind kind, const char* key) {
  const char* found = MHD_lookup_connection_value(connection, kind, key);
  return found ? found : "";
}

}  // namespace

// What the server sends: a status, a body and its type, and headers beside the security ones.
struct WebServer::Answer {
  unsigned status = 200;
  std::string body;
  std::string type = kText;
  std::vector<std::pair<std::string, std::string>> headers{};
};

// One request, from its headers to its answer: the body as it arrives.
struct WebServer::Request {
  std::string body;
};

// The library's callbacks, which reach into the server.
struct WebServerCalls {
  static WebServer& server(void* data) { return *static_cast<WebServer*>(data); }

  static MHD_Result queue(MHD_Connection* connection, const WebServer::Answer& answer) {
    MHD_Response* response =
        MHD_create_response_from_buffer(answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    for (const auto& [name, text] : kSecurityHeaders) (void)MHD_add_response_header(response, name, text);
    (void)MHD_add_response_header(response, "Content-Type", answer.type.c_str());
    for (const auto& [name, text] : answer.headers) (void)MHD_add_response_header(response, name.c_str(), text.c_str());
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
  }

  // Called when a request's headers are in, with each piece of its body, and once more at its end.
  static MHD_Result access(void* data, MHD_Connection* connection, const char* url, const char* method, const char*,
                           const char* upload, size_t* uploadSize, void** state) {
    WebServer& self = server(data);
    if (!*state) {
      // Refused on its headers alone, before any of its body is read.
      if (auto refused = self.refusal(connection, method, url)) return queue(connection, *refused);
      *state = new WebServer::Request();
      return MHD_YES;
    }
    auto& request = *static_cast<WebServer::Request*>(*state);
    if (*uploadSize > 0) {
      if (request.body.size() + *uploadSize > WebAccess::maxBody) {
        return queue(connection, {413, kTooLarge});
      }
      request.body.append(upload, *uploadSize);
      *uploadSize = 0;
      return MHD_YES;
    }
    return queue(connection, self.answer(connection, method, url, request));
  }

  static void completed(void* data, MHD_Connection* connection, void** state, MHD_RequestTerminationCode) {
    delete static_cast<WebServer::Request*>(*state);
    *state = nullptr;
    // The next request on a kept connection has its own time.
    auto& began = server(data).began_;
    if (const auto it = began.find(connection); it != began.end()) it->second = std::chrono::steady_clock::now();
  }

  static void connection(void* data, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto& began = server(data).began_;
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      began[connection] = std::chrono::steady_clock::now();
    } else {
      began.erase(connection);
    }
  }
};

WebServer::WebServer(HostActions& actions, Relay relay, Relay reads, std::string busyReply)
    : actions_(actions), relay_(std::move(relay)), reads_(std::move(reads)), busy_(std::move(busyReply)),
      token_(SecureRandom::hex(WebAccess::tokenBytes)) {}

WebServer::~WebServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (daemon_) MHD_stop_daemon(daemon_);
}

std::string WebServer::address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_; }

std::optional<std::string> WebServer::start(int port) {
  int failure = 0;
  FileDescriptor listener(UnixSocket::listenOnLoopback(port, 1024, failure));
  if (!listener.valid()) {
    const std::string why = failure == EADDRINUSE ? "is in use" : "can't be opened (" + SystemError::text(failure) + ")";
    return "The window's port " + std::to_string(port) + " " + why +
           ", so the window is off this time. Choose another with LUMETRA_WEB_PORT or “lumetra-app web-port”.";
  }
  port_ = UnixSocket::boundPort(listener.get());
  // Room for every connection the window allows, beside the host's own descriptors.
  const long descriptors = ProcessInfo::raiseOpenFileLimit(maxConnections + 256);
  const unsigned connections = static_cast<unsigned>(std::clamp<long>(descriptors - 256, 16, maxConnections));
  using C = WebServerCalls;
  daemon_ = MHD_start_daemon(MHD_USE_EPOLL, 0, nullptr, nullptr, &C::access, this,  //
                             MHD_OPTION_LISTEN_SOCKET, listener.get(),               //
                             MHD_OPTION_CONNECTION_LIMIT, connections,               //
                             MHD_OPTION_CONNECTION_MEMORY_LIMIT, maxHeaderMemory,    //
                             MHD_OPTION_CONNECTION_TIMEOUT, idleTimeout,             //
                             MHD_OPTION_NOTIFY_COMPLETED, &C::completed, this,       //
                             MHD_OPTION_NOTIFY_CONNECTION, &C::connection, this,     //
                             MHD_OPTION_END);
  if (!daemon_) return "The window's server couldn't start, so the window is off this time.";
  (void)listener.release();  // the server's now, closed when it stops
  thread_ = std::thread([this] { serve(); });
  return std::nullopt;
}

void WebServer::serve() {
  while (!stopping_) {
    (void)MHD_run_wait(daemon_, 250);
    sweep();
  }
}

void WebServer::sweep() {
  const auto now = std::chrono::steady_clock::now();
  for (auto& [connection, began] : began_) {
    if (now - began < requestDeadline) continue;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info) UnixSocket::shutDown(info->connect_fd);
    began = now;  // closed at the library's next look; not ended twice
  }
}

std::optional<WebServer::Answer> WebServer::refusal(MHD_Connection* connection, const std::string& method,
                                                    const std::string& url) const {
  const std::string host = value(connection, MHD_HEADER_KIND, "Host");
  // A rebound DNS name reaches the loopback too; only the loopback's own names are this page.
  if (!WebAccess::hostAllowed(host, port_)) {
    return Answer{421, "This address isn't Lumetra's window. Use the one “lumetra-app open” prints.\n"};
  }
  const std::string cookieName = WebAccess::cookieName(port_);
  if (method == "GET" && url == "/" && MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "token")) {
    if (!WebAccess::sameSecret(value(connection, MHD_GET_ARGUMENT_KIND, "token"), token_)) {
      return Answer{401, "That address is from an earlier start of Lumetra. Run “lumetra-app open” again.\n"};
    }
    // The token leaves the address bar; the cookie carries it from here on.
    return Answer{303, "", kText,
                  {{"Set-Cookie", cookieName + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict"}, {"Location", "/"}}};
  }
  const auto cookies = WebAccess::cookies(value(connection, MHD_HEADER_KIND, "Cookie"), cookieName);
  if (std::none_of(cookies.begin(), cookies.end(), [this](const auto& c) { return WebAccess::sameSecret(c, token_); })) {
    return Answer{401, "Lumetra's window opens from the address “lumetra-app open” prints.\n"};
  }
  if (method == "POST") {
    // A form or another site can't send JSON with this page's Origin, so changes come from it alone.
    if (!WebAccess::originAllowed(value(connection, MHD_HEADER_KIND, "Origin"), host)) {
      return Answer{403, "Changes are taken only from Lumetra's own page.\n"};
    }
    if (!value(connection, MHD_HEADER_KIND, "Content-Type").starts_with("application/json")) {
      return Answer{415, "Changes are sent as JSON.\n"};
    }
    // A body announced over the limit is refused before it comes; one sent in chunks is cut off
    // where it passes the limit.
    const auto length = value(connection, MHD_HEADER_KIND, "Content-Length");
    std::uint64_t announced = 0;
    const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
    if (!length.empty() && (error != std::errc() || announced > WebAccess::maxBody)) return Answer{413, kTooLarge};
  } else if (method != "GET" && method != "HEAD") {
    return Answer{405, "Lumetra's window takes GET and POST only.\n"};
  }
  return std::nullopt;
}

WebServer::Answer WebServer::answer(MHD_Connection* connection, const std::string& method, const std::string& url,
                                    Request& request) {
  const auto relayed = [this](std::function<std::string()> work, const Relay* through = nullptr) {
    const auto reply = (through ? *through : relay_)(std::move(work));
    return Answer{reply ? 200u : 503u, reply ? *reply : busy_, kJSON};
  };
  if (method == "POST") {
    if (url == "/api/control") {
      return relayed([this, &request] { return WindowRequests::control(actions_, std::move(request.body), Instant::now()); });
    }
    if (url == "/api/menu") {
      return relayed([this, &request] { return WindowRequests::action(actions_, request.body, Instant::now()); },
                     Commands::readsOnly(request.body) ? &reads_ : &relay_);
    }
    if (url == "/api/convert") {
      return relayed([this, &request] { return WindowRequests::convert(actions_, request.body); });
    }
    return Answer{404, "Not found.\n"};
  }
  if (url == "/api/about") return relayed([this] { return WindowRequests::about(actions_); });
  if (url == "/api/revision") return relayed([this] { return WindowRequests::revision(actions_); });
  if (url == "/export.csv") {
    // A download: the same bytes as `lumetra-app export -o FILE` writes. The job fills these in
    // while the relay waits for it; an abandoned job never runs.
    std::string range = value(connection, MHD_GET_ARGUMENT_KIND, "range");
    if (range.empty()) range = "All Time";
    std::optional<std::string> csv;
    std::string refusal;
    const bool ran = reads_([&] {
                       try {
                         csv = actions_.perform(ExportRequest{range}, Instant::now()).csv;
                       } catch (const std::exception& failure) {
                         refusal = ControlHandler::controlError(failure).message;
                       }
                       return std::string();
                     }).has_value();
    if (csv) {
      return Answer{200, std::move(*csv), "text/csv; charset=utf-8",
                    {{"Content-Disposition", "attachment; filename=\"" + exportName(range) + "\""}}};
    }
    return Answer{ran ? 400u : 503u, (ran ? refusal : ControlHandler::busy().message) + "\n"};
  }
  for (const WebAsset& asset : webAssets()) {
    if (asset.path == url) return Answer{200, std::string(asset.body), std::string(asset.type)};
  }
  return Answer{404, "Not found.\n"};
}

}  // namespace lumetra
