// The tool carries a trimmed copy of ICU's data: every command that reads dates, sorts names or
// counts characters must still work in any language and time zone.
#include <gtest/gtest.h>

#include "e2e/HostFixture.hpp"

namespace lumetra {
namespace {

class ToolLocalesTest : public test::HostFixture {};

TEST_F(ToolLocalesTest, CommandsWorkInOtherLanguagesAndZones) {
  ASSERT_EQ(app({"project", "add", "Ärger"}).status, 0);
  const std::string csv = "Project,Start,End\nÄrger,2026-01-05 09:00,2026-01-05 10:00\n";
  test::writeFile(folder / "in.csv", csv);
  for (const auto& [language, zone] : std::vector<std::pair<std::string, std::string>>{
           {"de_DE.UTF-8", "Asia/Kolkata"}, {"ja_JP.UTF-8", "America/St_Johns"}, {"ar_EG.UTF-8", "Pacific/Chatham"},
           {"sv_SE.UTF-8", "Europe/Stockholm"}, {"C", "UTC"}}) {
    SCOPED_TRACE(language + " " + zone);
    const std::map<std::string, std::string> environment{{"LANG", language}, {"LC_ALL", language}, {"TZ", zone}};
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"start", "Ärger", "-d", "x"}, {"status"}, {"stop"}, {"projects"},
          {"sessions", "--since", "yesterday"}, {"import", (folder / "in.csv").string(), "--dry-run"}}) {
      const auto result = tool(words, {}, environment);
      EXPECT_EQ(result.status, 0) << words[0] << ": " << result.out << result.err;
    }
  }
}

}  // namespace
}  // namespace lumetra
