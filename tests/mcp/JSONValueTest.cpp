#include "mcp/JSONValue.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "control/ProjectInfo.hpp"
#include "control/StatusResult.hpp"

namespace lumetra {
namespace {

TEST(JSONValueTest, NumbersKeepTheirKind) {
  EXPECT_EQ(JSONValue::parse("1"), JSONValue(1));
  EXPECT_EQ(JSONValue::parse("-9223372036854775808"), JSONValue(std::numeric_limits<std::int64_t>::min()));
  EXPECT_EQ(JSONValue::parse("9223372036854775808").kind(), JSONValue::Kind::real);
  EXPECT_EQ(JSONValue::parse("1.5"), JSONValue(1.5));
  EXPECT_NE(JSONValue(1), JSONValue(1.0));
  EXPECT_EQ(JSONValue(2.0).encoded(), "2.0");
  EXPECT_EQ(JSONValue::parse(JSONValue(2.0).encoded()), JSONValue(2.0));
}

TEST(JSONValueTest, EncodingIsCompactSortedAndLeavesSlashes) {
  const std::string text = R"({"a":1,"b":[true,null]})";
  EXPECT_EQ(JSONValue::parse(text).encoded(), text);
  EXPECT_EQ(JSONValue::object({{"b", 2}, {"a", "x/y"}}).encoded(), R"({"a":"x/y","b":2})");
  EXPECT_EQ(JSONValue::object({{"k", 1}, {"k", 2}}), JSONValue::object({{"k", 2}}));
  EXPECT_EQ(JSONValue::parse(R"({"x":1,"y":2})"), JSONValue::parse(R"({"y":2,"x":1})"));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(JSONValue::object({{"deep", JSONValue::Array{JSONValue(nan)}}}).encoded(), "null");
  EXPECT_EQ(JSONValue(std::numeric_limits<double>::infinity()).encoded(), "null");
}

TEST(JSONValueTest, LookupAndText) {
  EXPECT_EQ(JSONValue::parse("[1]")["a"], std::nullopt);
  EXPECT_EQ(JSONValue(5).stringValue(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"({"a":"b"})")["a"]->stringValue(), "b");
}

TEST(JSONValueTest, BadInputFailsWithoutAValue) {
  for (const std::string text : {"", "nope", "{", "[1,]", "\"\xFF\"", "1e400", "{\"a\":1}x"}) {
    EXPECT_THROW((void)JSONValue::parse(text), JSONValue::DecodingError) << text;
  }
  const std::string deep(100000, '[');
  EXPECT_THROW((void)JSONValue::parse(deep + std::string(100000, ']')), JSONValue::DecodingError);
  const std::string fine = std::string(JSONValue::maxDepth, '[') + std::string(JSONValue::maxDepth, ']');
  EXPECT_NO_THROW((void)JSONValue::parse(fine));
}

}  // namespace
}  // namespace lumetra
