#pragma once

#include <memory>

namespace lumetra {

// An object built on first use and owned by one value: a copy starts empty and builds its own,
// so values holding ICU objects stay cheap to copy and never share mutable state. T may be
// incomplete where the owner is declared; the owner's special members are then defaulted where
// T is complete.
template <class T>
class LazyCache {
 public:
  LazyCache() = default;
  LazyCache(const LazyCache&) noexcept {}
  LazyCache& operator=(const LazyCache& other) noexcept {
    if (this != &other) value_.reset();
    return *this;
  }
  LazyCache(LazyCache&&) noexcept = default;
  LazyCache& operator=(LazyCache&&) noexcept = default;
  ~LazyCache() = default;

  // The object, made by `make()` (which returns a T) the first time.
  template <class Make>
  T& get(const Make& make) const {
    if (!value_) value_ = std::make_unique<T>(make());
    return *value_;
  }

 private:
  mutable std::unique_ptr<T> value_;
};

}  // namespace lumetra
