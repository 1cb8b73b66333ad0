// Request lines as the server receives them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/ControlRequest.hpp"
#include "control/WireCoding.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  try {
    const auto request = WireCoding::decode<ControlRequest>(std::string(reinterpret_cast<const char*>(data), size));
    // Whatever decodes must encode again and decode to the same request.
    if (!(WireCoding::decode<ControlRequest>(WireCoding::encode(request)).command == request.command)) __builtin_trap();
  } catch (const WireError&) {
  }
  return 0;
}
