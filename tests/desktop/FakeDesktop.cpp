// Small stand-ins for the desktop's services, for the host's tests on a private bus:
//   lumetra-fake-desktop LOG [--idle FILE] [--login] [--notifications]
// --idle serves GNOME's idle monitor with the milliseconds written in FILE; --login serves
// logind's Inhibit and emits PrepareForSleep(true) on SIGUSR1 and PrepareForShutdown(true) on
// SIGHUP; --notifications serves a notification server with actions and invokes "resume" on
// the last notification on SIGUSR2; --watcher serves a StatusNotifierWatcher. What happens is
// appended to LOG, a line each.
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t raised = 0;
std::string logPath, idlePath;
std::uint32_t lastNotification = 0;
// The read ends of the inhibitors handed out, and what each was for.
std::vector<std::pair<int, std::string>> inhibitors;

void note(const std::string& line) {
  std::ofstream(logPath, std::ios::app) << line << std::endl;
}

int getIdletime(sd_bus_message* call, void*, sd_bus_error*) {
  std::uint64_t ms = 0;
  std::ifstream(idlePath) >> ms;
  return sd_bus_reply_method_return(call, "t", ms);
}

int inhibit(sd_bus_message* call, void*, sd_bus_error*) {
  const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
  if (sd_bus_message_read(call, "ssss", &what, &who, &why, &mode) < 0) return -EINVAL;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
  note(std::string("inhibit ") + what + " " + mode);
  inhibitors.emplace_back(ends[0], what);
  const int sent = sd_bus_reply_method_return(call, "h", ends[1]);
  ::close(ends[1]);
  return sent;
}

int capabilities(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "as", 2, "actions", "body");
}

int notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  std::uint32_t replaces = 0;
  if (sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body) < 0) return -EINVAL;
  std::string actions;
  if (sd_bus_message_enter_container(call, 'a', "s") >= 0) {
    const char* word = nullptr;
    while (sd_bus_message_read(call, "s", &word) > 0) actions += std::string(" ") + word;
  }
  note(std::string("notify ") + summary + ": " + body + " [" + actions + " ]");
  return sd_bus_reply_method_return(call, "u", ++lastNotification);
}

int registerItem(sd_bus_message* call, void*, sd_bus_error*) {
  const char* service = nullptr;
  if (sd_bus_message_read(call, "s", &service) < 0) return -EINVAL;
  note(std::string("registered ") + service);
  return sd_bus_reply_method_return(call, "");
}

const sd_bus_vtable watcherTable[] = {SD_BUS_VTABLE_START(0),
                                      SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", registerItem, 0),
                                      SD_BUS_VTABLE_END};
const sd_bus_vtable idleTable[] = {SD_BUS_VTABLE_START(0),
                                   SD_BUS_METHOD("GetIdletime", "", "t", getIdletime, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable loginTable[] = {SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Inhibit", "ssss", "h", inhibit, 0),
                                    SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
                                    SD_BUS_SIGNAL("PrepareForShutdown", "b", 0), SD_BUS_VTABLE_END};
const sd_bus_vtable notificationTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("GetCapabilities", "", "as", capabilities, 0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", notify, 0), SD_BUS_SIGNAL("ActionInvoked", "us", 0),
    SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  logPath = argv[1];
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  std::vector<std::string> names;
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--idle" && i + 1 < argc) {
      idlePath = argv[++i];
      sd_bus_add_object_vtable(bus, nullptr, "/org/gnome/Mutter/IdleMonitor/Core", "org.gnome.Mutter.IdleMonitor",
                               idleTable, nullptr);
      names.push_back("org.gnome.Mutter.IdleMonitor");
    } else if (flag == "--login") {
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", loginTable,
                               nullptr);
      names.push_back("org.freedesktop.login1");
    } else if (flag == "--watcher") {
      sd_bus_add_object_vtable(bus, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", watcherTable,
                               nullptr);
      names.push_back("org.kde.StatusNotifierWatcher");
    } else if (flag == "--notifications") {
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                               notificationTable, nullptr);
      names.push_back("org.freedesktop.Notifications");
    }
  }
  for (const auto& name : names) {
    if (sd_bus_request_name(bus, name.c_str(), 0) < 0) return 1;
  }
  for (const int number : {SIGUSR1, SIGUSR2, SIGHUP}) std::signal(number, [](int n) { raised = n; });
  note("ready");
  for (;;) {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
    if (const int number = raised) {
      raised = 0;
      if (number == SIGUSR1 || number == SIGHUP) {
        const char* member = number == SIGUSR1 ? "PrepareForSleep" : "PrepareForShutdown";
        sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", member, "b", 1);
        note(std::string("emitted ") + member);
      } else {
        sd_bus_emit_signal(bus, "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked",
                           "us", lastNotification, "resume");
        note("invoked resume");
      }
      sd_bus_flush(bus);
    }
    // An inhibitor is released when every end the host holds is closed.
    for (auto it = inhibitors.begin(); it != inhibitors.end();) {
      pollfd end{it->first, POLLIN, 0};
      if (::poll(&end, 1, 0) == 1 && (end.revents & (POLLHUP | POLLIN))) {
        note("released " + it->second);
        ::close(it->first);
        it = inhibitors.erase(it);
      } else {
        ++it;
      }
    }
    (void)sd_bus_wait(bus, 50'000);
  }
}
