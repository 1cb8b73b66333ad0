// Argument words: the input is split at NUL bytes into words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/CommandLineTool.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  std::vector<std::string> words(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.emplace_back();
    } else {
      words.back() += static_cast<char>(data[i]);
    }
  }
  static const Calendar calendar("Europe/Berlin");
  const Transport echo = [](const std::string&) -> std::string { throw ControlError(ControlError::Code::notRunning, "down"); };
  const auto output = CommandLineTool::run(words, echo, Instant(1714557600), calendar,
                                           [](const std::string&) { return std::string("Project,Start,End\n"); });
  if (output.status < 0 || output.status > 3) __builtin_trap();
  return 0;
}
