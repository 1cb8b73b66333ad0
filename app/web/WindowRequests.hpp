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
// {"version", "data_folder", "idle_source"}: what Settings shows about this Lumetra.
[[nodiscard]] std::string about(HostActions& actions);
// Another tracker's export turned into the CSV an import reads, by the converters of
// `lumetra-app convert`: {"format", "text", "skip_bad", "project_tags", "untagged"} in; the CSV
// and the sentences the terminal prints (lines left out, notes, the count) out, or the refusal.
// Needs no stored data but the project names.
[[nodiscard]] std::string convert(HostActions& actions, const std::string& body);
// {"revision": N}: grows with every change to the stored data, so a page knows when to read again.
[[nodiscard]] std::string revision(HostActions& actions);

}  // namespace lumetra::WindowRequests
