#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumetra::test {

// What a person types and what comes back, kept as data, a step per command:
//   # a comment
//   $ lumetra start Garden -d "Planning the beds"   the words, split as a shell splits them
//   > {"command":"start",…}                         the request it sends (canned replies only)
//   < {"ok":true,"result":…}                        the reply it gets, or "< !code message" for
//                                                   a transport that fails with that code; in a
//                                                   journey, a line of its standard input
//   | Started Garden at 09:30 (session 1)           a line of standard output ("|": an empty one)
//   ! lumetra: Nothing is being tracked.            a line of standard error
//   [1]                                             the exit status, where it isn't 0
//   ? project add needs a project name.             bad usage: the sentence, the pointer to the
//                                                   help, status 2
// A step with a request and no reply only checks what is sent.
struct TranscriptStep {
  std::string where;  // file:line, for the failure message
  std::vector<std::string> words;
  std::optional<std::string> request;
  std::optional<std::string> reply;  // in a journey: standard input, a line per "<"
  std::string out, err;
  int status = 0;
};

[[nodiscard]] std::vector<TranscriptStep> readTranscript(const std::filesystem::path& file);

// Whether the text matches the pattern, where "*" stands for any run of characters on one line
// and "?" for one character: for times, which change from run to run.
[[nodiscard]] bool globMatch(std::string_view pattern, std::string_view text);

}  // namespace lumetra::test
