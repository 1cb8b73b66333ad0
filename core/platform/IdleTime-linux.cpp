// Idle time from the X11 Screen Saver extension, loaded at run time so that the host also
// runs, and counts no idle time, where there is no display or no X library at all.
#include <dlfcn.h>

#include <cstdlib>

#include "platform/IdleTime.hpp"

namespace lumetra::IdleTime {

namespace {

struct ScreenSaverInfo {  // XScreenSaverInfo, as libXss lays it out
  unsigned long window;
  int state;
  int kind;
  unsigned long tilOrSince;
  unsigned long idle;  // milliseconds
  unsigned long eventMask;
};

struct X11 {
  using OpenDisplay = void* (*)(const char*);
  using DefaultRootWindow = unsigned long (*)(void*);
  using Free = int (*)(void*);
  using AllocInfo = ScreenSaverInfo* (*)();
  using QueryInfo = int (*)(void*, unsigned long, ScreenSaverInfo*);

  void* display = nullptr;
  DefaultRootWindow rootWindow = nullptr;
  Free free = nullptr;
  AllocInfo allocInfo = nullptr;
  QueryInfo queryInfo = nullptr;

  X11() {
    if (!std::getenv("DISPLAY")) return;
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    void* xss = dlopen("libXss.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!x11 || !xss) return;
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    rootWindow = reinterpret_cast<DefaultRootWindow>(dlsym(x11, "XDefaultRootWindow"));
    free = reinterpret_cast<Free>(dlsym(x11, "XFree"));
    allocInfo = reinterpret_cast<AllocInfo>(dlsym(xss, "XScreenSaverAllocInfo"));
    queryInfo = reinterpret_cast<QueryInfo>(dlsym(xss, "XScreenSaverQueryInfo"));
    if (open && rootWindow && free && allocInfo && queryInfo) display = open(nullptr);
  }
};

}  // namespace

double seconds() {
  static X11 x11;
  if (!x11.display) return 0;
  ScreenSaverInfo* info = x11.allocInfo();
  if (!info) return 0;
  double idle = 0;
  if (x11.queryInfo(x11.display, x11.rootWindow(x11.display), info)) idle = static_cast<double>(info->idle) / 1000.0;
  x11.free(info);
  return idle;
}

}  // namespace lumetra::IdleTime
