// Reading one key of an XML property list, as bundles are built: values after nested ones,
// entities, comments, and every malformed or binary file read as nothing.
#include "platform/PropertyList.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

TEST(PropertyListTest, ReadsTheStringUnderAKey) {
  const std::string head = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><dict>";
  const struct {
    std::string body;
    std::optional<std::string> value;
  } cases[] = {
      {"<key>V</key><string>1.2</string>", "1.2"},
      {"<key>A</key><dict><key>V</key><string>no</string><key>B</key><array><true/><array/></array></dict>"
       "<!-- a <comment> --><key>V</key>\n\t<string>A &amp; B &lt;&#233;&#x1F600;&quot;&apos;&gt;</string>",
       "A & B <\u00e9\U0001F600\"'>"},
      {"<key>V</key><string/>", ""},
      {"<key>W</key><string>x</string>", std::nullopt},
      {"<key>V</key><integer>3</integer>", std::nullopt},
      {"<key>V</key><string>a &bogus; b</string>", std::nullopt},
      {"<key>V</key><string>&#xD800;</string>", std::nullopt},
      {"<key>V</key><string>unterminated", std::nullopt},
      {"<key>V</key><string>a<!-- b -->c</string>", std::nullopt},
  };
  test::TemporaryDirectory folder;
  for (const auto& c : cases) {
    test::writeFile(folder / "Info.plist", head + c.body + "</dict></plist>");
    EXPECT_EQ(PropertyList::string(folder / "Info.plist", "V"), c.value) << c.body;
  }
  test::writeFile(folder / "Info.plist", "bplist00\xd1\x01\x02QVS1.2");
  EXPECT_EQ(PropertyList::string(folder / "Info.plist", "V"), std::nullopt);
  EXPECT_EQ(PropertyList::string(folder / "missing.plist", "V"), std::nullopt);
}

}  // namespace
}  // namespace lumetra
