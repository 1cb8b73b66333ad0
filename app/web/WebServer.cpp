#include "web/WebServer.hpp"

#include <httplib.h>

#include <algorithm>
#include <cerrno>

#include "platform/SecureRandom.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnixSocket.hpp"
#include "web/WebAccess.hpp"
#include "web/WebAssets.hpp"
#include "web/WindowRequests.hpp"

namespace lumetra {

namespace {

using httplib::Request;
using httplib::Response;
using Outcome = httplib::Server::HandlerResponse;

constexpr const char* kJSON = "application/json; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";

// Enough threads for a browser's six connections and a tool alongside; each connection's wait
// and life are bounded below, so a slow or idle client can't hold them.
constexpr std::size_t kThreads = 8;

// Only the page's own files run; nothing is loaded from elsewhere, nothing embeds the page.
const httplib::Headers& securityHeaders() {
  static const httplib::Headers headers{
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
       "form-action 'none'; frame-ancestors 'none'; base-uri 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"Cross-Origin-Opener-Policy", "same-origin"},
      {"Cross-Origin-Resource-Policy", "same-origin"},
      {"Cache-Control", "no-store"},
  };
  return headers;
}

Outcome refuse(Response& response, int status, const std::string& sentence) {
  response.status = status;
  response.set_content(sentence + "\n", kText);
  return Outcome::Handled;
}

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

}  // namespace

WebServer::WebServer(HostActions& actions, Relay relay, std::string busyReply)
    : actions_(actions), relay_(std::move(relay)), busy_(std::move(busyReply)),
      token_(SecureRandom::hex(WebAccess::tokenBytes)), server_(std::make_unique<httplib::Server>()) {}

WebServer::~WebServer() {
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

std::optional<std::string> WebServer::start(int port) {
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_socket_options([](int socket) { (void)UnixSocket::prepareTCPListener(socket); });
  server.set_read_timeout(5);
  server.set_write_timeout(5);
  server.set_keep_alive_timeout(2);
  server.set_keep_alive_max_count(100);
  server.set_payload_max_length(WebAccess::maxBody);
  server.set_default_headers(securityHeaders());
  errno = 0;
  const bool bound = port == 0 ? (port_ = server.bind_to_any_port("127.0.0.1")) > 0
                               : (port_ = port, server.bind_to_port("127.0.0.1", port));
  if (!bound) {
    const int failure = errno;
    const std::string why = failure == EADDRINUSE ? "is in use"
                            : failure != 0        ? "can't be opened (" + SystemError::text(failure) + ")"
                                                  : "can't be opened";
    return "The window's port " + std::to_string(port) + " " + why +
           ", so the window is off this time. Choose another with LUMETRA_WEB_PORT or “lumetra-app web-port”.";
  }
  route();
  thread_ = std::thread([&server] { server.listen_after_bind(); });
  return std::nullopt;
}

void WebServer::route() {
  httplib::Server& server = *server_;
  server.set_pre_routing_handler([this](const Request& request, Response& response) {
    const std::string host = request.get_header_value("Host");
    // A rebound DNS name reaches the loopback too; only the loopback's own names are this page.
    if (!WebAccess::hostAllowed(host, port_)) {
      return refuse(response, 421, "This address isn't Lumetra's window. Use the one “lumetra-app open” prints.");
    }
    const std::string cookieName = WebAccess::cookieName(port_);
    if (request.method == "GET" && request.path == "/" && request.has_param("token")) {
      if (!WebAccess::sameSecret(request.get_param_value("token"), token_)) {
        return refuse(response, 401, "That address is from an earlier start of Lumetra. Run “lumetra-app open” again.");
      }
      // The token leaves the address bar; the cookie carries it from here on.
      response.set_header("Set-Cookie", cookieName + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
      response.set_redirect("/", 303);
      return Outcome::Handled;
    }
    const auto cookies = WebAccess::cookies(request.get_header_value("Cookie"), cookieName);
    if (std::none_of(cookies.begin(), cookies.end(), [this](const auto& c) { return WebAccess::sameSecret(c, token_); })) {
      return refuse(response, 401, "Lumetra's window opens from the address “lumetra-app open” prints.");
    }
    if (request.method == "POST") {
      // A form or another site can't send JSON with this page's Origin, so changes come from it alone.
      if (!WebAccess::originAllowed(request.get_header_value("Origin"), host)) {
        return refuse(response, 403, "Changes are taken only from Lumetra's own page.");
      }
      if (!request.get_header_value("Content-Type").starts_with("application/json")) {
        return refuse(response, 415, "Changes are sent as JSON.");
      }
    } else if (request.method != "GET" && request.method != "HEAD") {
      return refuse(response, 405, "Lumetra's window takes GET and POST only.");
    }
    return Outcome::Unhandled;
  });

  for (const WebAsset& asset : webAssets()) {
    server.Get(std::string(asset.path), [&asset](const Request&, Response& response) {
      response.set_content(asset.body.data(), asset.body.size(), std::string(asset.type).c_str());
    });
  }
  const auto relayed = [this](Response& response, std::function<std::string()> work) {
    const auto reply = relay_(std::move(work));
    if (!reply) response.status = 503;
    response.set_content(reply ? *reply : busy_, kJSON);
  };
  server.Get("/api/revision", [this, relayed](const Request&, Response& response) {
    relayed(response, [this] { return WindowRequests::revision(actions_); });
  });
  server.Post("/api/control", [this, relayed](const Request& request, Response& response) {
    relayed(response, [this, &request] { return WindowRequests::control(actions_, request.body, Instant::now()); });
  });
  server.Post("/api/menu", [this, relayed](const Request& request, Response& response) {
    relayed(response, [this, &request] { return WindowRequests::action(actions_, request.body, Instant::now()); });
  });
  // A download: the same bytes as `lumetra-app export -o FILE` writes.
  server.Get("/export.csv", [this](const Request& request, Response& response) {
    const std::string range = request.has_param("range") ? request.get_param_value("range") : "All Time";
    // The job fills these in while the relay waits for it; an abandoned job never runs.
    std::optional<std::string> csv;
    std::string refusal;
    const bool ran = relay_([&] {
                       try {
                         csv = actions_.perform(ExportRequest{range}, Instant::now()).csv;
                       } catch (const std::exception& failure) {
                         refusal = ControlHandler::controlError(failure).message;
                       }
                       return std::string();
                     }).has_value();
    if (csv) {
      response.set_header("Content-Disposition", "attachment; filename=\"" + exportName(range) + "\"");
      response.set_content(std::move(*csv), "text/csv; charset=utf-8");
      return;
    }
    response.status = ran ? 400 : 503;
    response.set_content((ran ? refusal : ControlHandler::busy().message) + "\n", kText);
  });
}

}  // namespace lumetra
