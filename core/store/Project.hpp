#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/Instant.hpp"

namespace lumetra {

// A project sessions are tracked against. Its name is trimmed, never empty, and unique ignoring
// the case of ASCII letters.
struct Project {
  std::int64_t id = 0;
  std::string name;
  bool archived = false;  // keeps its sessions but can't be tracked
  Instant createdAt;

  bool operator==(const Project&) const = default;
};

inline void PrintTo(const Project& p, std::ostream* os) {
  *os << "Project{" << p.id << ", \"" << p.name << "\", archived " << p.archived << ", " << p.createdAt.seconds
      << "}";
}

}  // namespace lumetra
