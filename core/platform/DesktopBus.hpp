#pragma once

// sd-bus handles with owners, for the desktop's Linux files: no *_unref or *_free by hand.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <utility>

namespace lumetra {

template <class Handle, Handle* (*Release)(Handle*)>
class BusHandle {
 public:
  BusHandle() = default;
  explicit BusHandle(Handle* handle) : handle_(handle) {}
  ~BusHandle() { reset(); }
  BusHandle(BusHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  BusHandle& operator=(BusHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  BusHandle(const BusHandle&) = delete;
  BusHandle& operator=(const BusHandle&) = delete;

  [[nodiscard]] Handle* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // For a call that hands one out: what was held is released first.
  Handle** out() {
    reset();
    return &handle_;
  }
  void reset() { handle_ = handle_ ? Release(handle_) : nullptr; }

 private:
  Handle* handle_ = nullptr;
};

// A connection, flushed and closed when released.
using BusConnection = BusHandle<sd_bus, sd_bus_flush_close_unref>;
using BusMessage = BusHandle<sd_bus_message, sd_bus_message_unref>;
// A registration (an object, a match): undone when released.
using BusSlot = BusHandle<sd_bus_slot, sd_bus_slot_unref>;

// An error a call may fill in, freed when released.
class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  sd_bus_error* get() { return &error_; }

 private:
  sd_bus_error error_{};  // SD_BUS_ERROR_NULL, without its C compound literal
};

namespace DesktopBus {

// The user's session bus or the system bus with calls bounded by `callTimeout` microseconds;
// an empty connection when there is none.
[[nodiscard]] inline BusConnection open(bool system, std::uint64_t callTimeout) {
  BusConnection bus;
  if ((system ? sd_bus_open_system(bus.out()) : sd_bus_open_user(bus.out())) < 0) return BusConnection();
  (void)sd_bus_set_method_call_timeout(bus.get(), callTimeout);
  return bus;
}

}  // namespace DesktopBus

}  // namespace lumetra
