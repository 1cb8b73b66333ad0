#pragma once

#include <string>

#include "actions/HostActions.hpp"
#include "platform/Instant.hpp"

// The window's requests on the host's side: a page's JSON decoded, carried out by the host's
// actions and answered, each success with a "text", the sentence the tool or lumetra-app prints
// for it, so the page says what the terminal says. Owner thread only; never throw.
namespace lumetra::WindowRequests {

// A control request, as the tool sends it.
[[nodiscard]] std::string control(HostActions& actions, std::string body, Instant now);
// A host action, as lumetra-app sends it.
[[nodiscard]] std::string action(HostActions& actions, const std::string& body, Instant now);
// {"revision": N}: grows with every change to the stored data, so a page knows when to read again.
[[nodiscard]] std::string revision(HostActions& actions);

}  // namespace lumetra::WindowRequests
