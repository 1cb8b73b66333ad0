// The tray over sd-bus: StatusNotifierItem (as KDE specified it) and com.canonical.dbusmenu.
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/DesktopBus.hpp"
#include "platform/StatusItem.hpp"

namespace lumetra {

namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

// The menu's fixed entries; a project's Start entry is its index from kFirstProject.
enum : int { kRoot = 0, kLine, kSeparator, kStop, kResume, kStart, kSeparator2, kOpen, kQuit, kFirstProject = 100 };

// What one call may ask for: the menu has a few entries and a panel asks for them a few at a
// time, so a call beyond these is refused rather than answered with a reply over the bus's limit.
constexpr std::size_t kMaxIds = 1024;
constexpr std::size_t kMaxEvents = 64;
// Projects the Start submenu lists; more would make a menu nobody can use.
constexpr std::size_t kMaxProjects = 200;

using Choice = DesktopEvents::TrayChoice;

}  // namespace

// What the bus callbacks need of the item, in one place.
struct StatusItemCalls {
  static StatusItem& item(void* data) { return *static_cast<StatusItem*>(data); }

  struct Properties {
    std::string label;
    std::string type;  // "separator", or standard
    bool enabled = true;
    bool visible = true;
    bool submenu = false;
  };

  static Properties entry(std::string label, bool enabled = true, bool visible = true, bool submenu = false) {
    return Properties{std::move(label), "", enabled, visible, submenu};
  }

  static Properties properties(const StatusItem& item, int id) {
    const auto& tray = item.tray_;
    switch (id) {
      case kRoot: return entry("", true, true, true);
      case kLine: return entry(tray.line, false);
      case kSeparator:
      case kSeparator2: return Properties{"", "separator", true, true, false};
      case kStop: return entry("Stop", tray.tracking);
      case kResume: return entry("Resume “" + tray.resumeProject.value_or("") + "”", true, tray.resumeProject.has_value());
      case kStart: return entry("Start", !tray.projects.empty(), true, true);
      case kOpen: return entry("Open Lumetra", true, tray.windowOpen);
      case kQuit: return entry("Quit");
      default: {
        const auto index = static_cast<std::size_t>(id - kFirstProject);
        if (id >= kFirstProject && index < tray.projects.size()) return entry(tray.projects[index]);
        return entry("", true, false);
      }
    }
  }

  static std::vector<int> children(const StatusItem& item, int id) {
    if (id == kRoot) return {kLine, kSeparator, kStop, kResume, kStart, kSeparator2, kOpen, kQuit};
    std::vector<int> ids;
    if (id == kStart) {
      for (std::size_t i = 0; i < std::min(item.tray_.projects.size(), kMaxProjects); ++i) {
        ids.push_back(kFirstProject + static_cast<int>(i));
      }
    }
    return ids;
  }

  static int appendProperties(sd_bus_message* m, const StatusItem& item, int id) {
    const Properties p = properties(item, id);
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r >= 0 && !p.label.empty()) r = sd_bus_message_append(m, "{sv}", "label", "s", p.label.c_str());
    if (r >= 0 && !p.type.empty()) r = sd_bus_message_append(m, "{sv}", "type", "s", p.type.c_str());
    if (r >= 0 && !p.enabled) r = sd_bus_message_append(m, "{sv}", "enabled", "b", 0);
    if (r >= 0 && !p.visible) r = sd_bus_message_append(m, "{sv}", "visible", "b", 0);
    if (r >= 0 && p.submenu) r = sd_bus_message_append(m, "{sv}", "children-display", "s", "submenu");
    return r >= 0 ? sd_bus_message_close_container(m) : r;
  }

  // (ia{sv}av): the entry, its properties and, down to `depth` (-1: all), its children.
  static int appendLayout(sd_bus_message* m, const StatusItem& item, int id, int depth) {
    int r = sd_bus_message_open_container(m, 'r', "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append(m, "i", id);
    if (r >= 0) r = appendProperties(m, item, id);
    if (r >= 0) r = sd_bus_message_open_container(m, 'a', "v");
    if (depth != 0) {
      for (const int child : children(item, id)) {
        if (r >= 0) r = sd_bus_message_open_container(m, 'v', "(ia{sv}av)");
        if (r >= 0) r = appendLayout(m, item, child, depth < 0 ? -1 : depth - 1);
        if (r >= 0) r = sd_bus_message_close_container(m);
      }
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r >= 0 ? sd_bus_message_close_container(m) : r;
  }

  static int getLayout(sd_bus_message* call, void* data, sd_bus_error*) {
    std::int32_t parent = 0, depth = -1;
    if (int r = sd_bus_message_read(call, "ii", &parent, &depth); r < 0) return r;
    BusMessage reply;
    int r = sd_bus_message_new_method_return(call, reply.out());
    if (r >= 0) r = sd_bus_message_append(reply.get(), "u", item(data).revision_);
    if (r >= 0) r = appendLayout(reply.get(), item(data), parent, depth);
    if (r >= 0) r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r;
  }

  static int tooMany(sd_bus_error* error, const char* what) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "At most %zu %s in one call.",
                             std::string_view(what) == "ids" ? kMaxIds : kMaxEvents, what);
  }

  static int getGroupProperties(sd_bus_message* call, void* data, sd_bus_error* error) {
    std::vector<int> ids;
    if (int r = sd_bus_message_enter_container(call, 'a', "i"); r < 0) return r;
    for (std::int32_t id = 0; sd_bus_message_read(call, "i", &id) > 0;) {
      if (ids.size() == kMaxIds) return tooMany(error, "ids");
      ids.push_back(id);
    }
    BusMessage reply;
    int r = sd_bus_message_new_method_return(call, reply.out());
    if (r >= 0) r = sd_bus_message_open_container(reply.get(), 'a', "(ia{sv})");
    for (const int id : ids) {
      if (r >= 0) r = sd_bus_message_open_container(reply.get(), 'r', "ia{sv}");
      if (r >= 0) r = sd_bus_message_append(reply.get(), "i", id);
      if (r >= 0) r = appendProperties(reply.get(), item(data), id);
      if (r >= 0) r = sd_bus_message_close_container(reply.get());
    }
    if (r >= 0) r = sd_bus_message_close_container(reply.get());
    if (r >= 0) r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r;
  }

  static int getProperty(sd_bus_message* call, void* data, sd_bus_error*) {
    std::int32_t id = 0;
    const char* name = nullptr;
    if (int r = sd_bus_message_read(call, "is", &id, &name); r < 0) return r;
    const Properties p = properties(item(data), id);
    if (std::string_view(name) == "label") return sd_bus_reply_method_return(call, "v", "s", p.label.c_str());
    if (std::string_view(name) == "enabled") return sd_bus_reply_method_return(call, "v", "b", p.enabled);
    if (std::string_view(name) == "visible") return sd_bus_reply_method_return(call, "v", "b", p.visible);
    return sd_bus_reply_method_return(call, "v", "s", "");
  }

  // What a click on the entry chooses, if anything.
  static std::optional<Choice> clicked(const StatusItem& self, int id) {
    const auto& tray = self.tray_;
    const auto index = static_cast<std::size_t>(id - kFirstProject);
    if (id == kStop && tray.tracking) return Choice{Choice::Kind::stop, {}};
    if (id == kResume && tray.resumeProject) return Choice{Choice::Kind::resume, *tray.resumeProject};
    if (id >= kFirstProject && index < tray.projects.size()) return Choice{Choice::Kind::start, tray.projects[index]};
    if (id == kOpen && tray.windowOpen) return Choice{Choice::Kind::open, {}};
    if (id == kQuit) return Choice{Choice::Kind::quit, {}};
    return std::nullopt;
  }

  static int event(sd_bus_message* call, void* data, sd_bus_error*) {
    std::int32_t id = 0;
    const char* kind = nullptr;
    if (int r = sd_bus_message_read(call, "is", &id, &kind); r < 0) return r;
    if (std::string_view(kind) == "clicked") {
      if (auto choice = clicked(item(data), id)) item(data).choose_({*choice});
    }
    return sd_bus_reply_method_return(call, "");
  }

  // A group's clicks are one batch for the host, and a group is bounded.
  static int eventGroup(sd_bus_message* call, void* data, sd_bus_error* error) {
    std::vector<Choice> choices;
    std::size_t events = 0;
    if (int r = sd_bus_message_enter_container(call, 'a', "(isvu)"); r < 0) return r;
    while (sd_bus_message_enter_container(call, 'r', "isvu") > 0) {
      if (++events > kMaxEvents) return tooMany(error, "events");
      std::int32_t id = 0;
      const char* kind = nullptr;
      if (sd_bus_message_read(call, "is", &id, &kind) >= 0 && std::string_view(kind) == "clicked") {
        if (auto choice = clicked(item(data), id)) choices.push_back(*choice);
      }
      (void)sd_bus_message_skip(call, "vu");
      (void)sd_bus_message_exit_container(call);
    }
    if (!choices.empty()) item(data).choose_(std::move(choices));
    return sd_bus_reply_method_return(call, "ai", 0);
  }

  static int aboutToShow(sd_bus_message* call, void*, sd_bus_error*) { return sd_bus_reply_method_return(call, "b", 0); }
  static int aboutToShowGroup(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "aiai", 0, 0);
  }
  static int onWatcher(sd_bus_message* message, void* data, sd_bus_error*) {
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 && std::string_view(name) == kWatcher &&
        after && *after) {
      item(data).registerWithWatcher();
    }
    return 0;
  }
  static int ignored(sd_bus_message* call, void*, sd_bus_error*) { return sd_bus_reply_method_return(call, ""); }
  static int activate(sd_bus_message* call, void* data, sd_bus_error*) {
    if (item(data).tray_.windowOpen) item(data).choose_({Choice{Choice::Kind::open, {}}});
    return sd_bus_reply_method_return(call, "");
  }

  static int text(sd_bus*, const char*, const char* interface, const char* property, sd_bus_message* reply,
                  void* data, sd_bus_error*) {
    const auto& tray = item(data).tray_;
    const std::string_view name(property);
    if (std::string_view(interface) == kMenuInterface && name == "Status") return sd_bus_message_append(reply, "s", "normal");
    std::string value;
    if (name == "Category") value = "ApplicationStatus";
    if (name == "Id") value = "lumetra";
    if (name == "Title") value = "Lumetra";
    if (name == "Status") value = "Active";
    if (name == "IconThemePath") value = tray.iconFolder;
    if (name == "IconName") value = tray.tracking ? "lumetra-tracking" : "lumetra-stopped";
    if (name == "TextDirection") value = "ltr";
    return sd_bus_message_append(reply, "s", value.c_str());
  }
  static int toolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data, sd_bus_error*) {
    const auto& tray = item(data).tray_;
    return sd_bus_message_append(reply, "(sa(iiay)ss)", tray.tracking ? "lumetra-tracking" : "lumetra-stopped", 0,
                                 "Lumetra", tray.tooltip.c_str());
  }
  static int menuPath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "o", kMenuPath);
  }
  static int yes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }
  static int zero(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "i", 0);
  }
  static int version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "u", 3);
  }
  static int noPixmaps(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "a(iiay)", 0);
  }
  static int noPaths(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 0);
  }
};

namespace {

using C = StatusItemCalls;

const sd_bus_vtable kItemTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("Id", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("Title", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("Status", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", C::zero, 0, 0),
    SD_BUS_PROPERTY("IconThemePath", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("IconName", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", C::noPixmaps, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", C::toolTip, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", C::yes, 0, 0),
    SD_BUS_PROPERTY("Menu", "o", C::menuPath, 0, 0),
    SD_BUS_METHOD("ContextMenu", "ii", "", C::ignored, 0),
    SD_BUS_METHOD("Activate", "ii", "", C::activate, 0),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", C::ignored, 0),
    SD_BUS_METHOD("Scroll", "is", "", C::ignored, 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kMenuTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", C::version, 0, 0),
    SD_BUS_PROPERTY("TextDirection", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("Status", "s", C::text, 0, 0),
    SD_BUS_PROPERTY("IconThemePath", "as", C::noPaths, 0, 0),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", C::getLayout, 0),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", C::getGroupProperties, 0),
    SD_BUS_METHOD("GetProperty", "is", "v", C::getProperty, 0),
    SD_BUS_METHOD("Event", "isvu", "", C::event, 0),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", C::eventGroup, 0),
    SD_BUS_METHOD("AboutToShow", "i", "b", C::aboutToShow, 0),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", C::aboutToShowGroup, 0),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_VTABLE_END};

}  // namespace

StatusItem::StatusItem(sd_bus* bus, Choose choose)
    : bus_(bus), choose_(std::move(choose)), name_("org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1") {
  (void)sd_bus_add_object_vtable(bus_, slots_[0].out(), kItemPath, kItemInterface, kItemTable, this);
  (void)sd_bus_add_object_vtable(bus_, slots_[1].out(), kMenuPath, kMenuInterface, kMenuTable, this);
  (void)sd_bus_request_name(bus_, name_.c_str(), 0);
  // A watcher that starts later (the panel restarting, say) gets the item too.
  (void)sd_bus_match_signal(bus_, slots_[2].out(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameOwnerChanged", C::onWatcher, this);
  registerWithWatcher();
}

StatusItem::~StatusItem() {
  for (auto& slot : slots_) slot.reset();
  if (sd_bus_is_open(bus_) > 0) (void)sd_bus_release_name(bus_, name_.c_str());
}

void StatusItem::registerWithWatcher() {
  (void)sd_bus_call_method_async(bus_, nullptr, kWatcher, "/StatusNotifierWatcher", kWatcher,
                                 "RegisterStatusNotifierItem", nullptr, nullptr, "s", name_.c_str());
}

void StatusItem::show(const DesktopEvents::Tray& tray) {
  if (tray == tray_) return;
  const bool iconChanged = tray.tracking != tray_.tracking || tray.iconFolder != tray_.iconFolder;
  tray_ = tray;
  ++revision_;
  (void)sd_bus_emit_signal(bus_, kMenuPath, kMenuInterface, "LayoutUpdated", "ui", revision_, 0);
  (void)sd_bus_emit_signal(bus_, kItemPath, kItemInterface, "NewToolTip", "");
  if (iconChanged) (void)sd_bus_emit_signal(bus_, kItemPath, kItemInterface, "NewIcon", "");
}

}  // namespace lumetra
