// Another computer's lines are read like typed input: each refusal names what is wrong.
#include <gtest/gtest.h>

#include "platform/Crc32c.hpp"
#include "sync/SyncRecord.hpp"

namespace lumetra {
namespace {

// A line with this body and a check that holds.
std::string line(std::string body) {
  char check[16];
  std::snprintf(check, sizeof check, "%08x", Crc32c::of(body));
  body.pop_back();
  return body + ",\"c\":\"" + check + "\"}";
}

std::string refusal(const std::string& text) {
  try {
    (void)SyncRecord::decoded(text, "dddddddddddddddddddddddddddddddd");
    return "(read)";
  } catch (const SyncRecordError& error) {
    return error.description();
  }
}

// Lines written by any version check alike: the standard's own answers.
TEST(SyncRecordTest, ChecksAreTheStandardOnes) {
  EXPECT_EQ(Crc32c::of("123456789"), 0xE3069283u);
  EXPECT_EQ(Crc32c::of(std::string(32, '\0')), 0x8A9136AAu);
  EXPECT_EQ(Crc32c::of(std::string(32, '\xFF')), 0x62A8AB43u);
}

TEST(SyncRecordTest, LinesThatAreRefused) {
  const std::string who = R"("a":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","n":1,"t":5,"v":1,)";
  const std::string session = who + R"("g":"sbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb","k":"session",)";
  const std::string project = who + R"("g":"pcccccccccccccccccccccccccccccccc","k":"project",)";
  const std::vector<std::pair<std::string, std::string>> cases{
      {line("{" + project + R"("name":"Garden"})"), "(read)"},
      {line("{" + project + R"("name":"Garden"})").replace(10, 1, "b"), "its check doesn't match: the line is damaged"},
      {R"({"v":1})", "the line has no check"},
      {line("{" + project + R"("name":"Garden"})").replace(1, 0, " "), "its check doesn't match: the line is damaged"},
      {line(R"({"g":"pcccccccccccccccccccccccccccccccc","k":"project","n":1,"name":"G","t":5,"v":3})"),
       "it is written in a later format (3)"},
      // The second format: the folder names the author, and a first record leaves out what a new
      // row has anyway.
      {line(R"({"g":"sbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb","k":"session","n":1,"new":1,"project":"pcccccccccccccccccccccccccccccccc","span":[1,5,5,"manual","real"],"t":5,"v":2})"),
       "(read)"},
      {line(R"({"g":"sbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb","k":"session","n":1,"new":1,"project":"pcccccccccccccccccccccccccccccccc","t":5,"v":2})"),
       "its first record lacks some of its fields"},
      {line("{" + project + R"("name":" Garden"})"), "its name isn't trimmed"},
      {line("{" + project + "\"name\":\"Gar\\u0007den\"}"), "its name holds a control character"},
      {line("{" + session + R"("span":[10,5,5,"manual","real"]})"), "its session ends before it starts"},
      {line("{" + session + R"("span":[1,5,9,"manual","real"]})"), "its last activity is outside the session"},
      {line("{" + session + R"("span":[1,5,5,"napping","real"]})"), "its span names an unknown end reason or kind of times"},
      {line("{" + session + R"("span":[1e300,1e301,1e301,"manual","real"]})"), "its start isn't a time"},
      {line("{" + session + R"("name":"Garden"})"), "it sets “name” on a session"},
      {line("{" + session + R"("new":1,"span":[1,5,5,"manual","real"]})"), "its first record lacks some of its fields"},
      {line("{" + who + R"("g":"sbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb","k":"dance"})"), "its kind is unknown"},
      {line(R"({"a":"nobody","g":"sbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb","k":"session","n":1,"t":5,"v":1})"), "its author isn't a computer id"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(refusal(text), expected) << text;
}

}  // namespace
}  // namespace lumetra
