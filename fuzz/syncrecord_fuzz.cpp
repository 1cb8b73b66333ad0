// Lines of another computer's sync log. What is taken for a record writes back as a line that
// reads as the same record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sync/SyncRecord.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  try {
    const std::string_view author = "0123456789abcdef0123456789abcdef";
    const auto record = SyncRecord::decoded(std::string_view(reinterpret_cast<const char*>(data), size), author);
    if (!(SyncRecord::decoded(record.encoded(), record.author) == record)) __builtin_trap();
  } catch (const SyncRecordError&) {
  }
  return 0;
}
