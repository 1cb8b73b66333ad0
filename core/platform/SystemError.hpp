#pragma once

#include <string>

namespace lumetra::SystemError {

// The platform's text for an errno value (strerror), safe to call from any thread.
[[nodiscard]] std::string text(int errorNumber);

}  // namespace lumetra::SystemError
