// Moving in: another tracker's export converted by `lumetra-app convert`, then imported by the
// real tool into the real host; importing it again adds nothing.
#include <gtest/gtest.h>

#include "e2e/HostFixture.hpp"
#include "platform/FileSystem.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

class ConvertProcessTest : public test::HostFixture {};

TEST_F(ConvertProcessTest, ConvertThenImportTwice) {
  const fs::path source = folder / "toggl.csv", converted = folder / "sessions.csv";
  test::writeFile(source,
                  "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,End time,Duration,"
                  "Tags\r\n"
                  "Ann,a@example.org,Acme,Garden,,\"Weeding, then mulch\",No,2026-11-30,09:00:00,2026-11-30,10:30:00,,\r\n"
                  "Ann,a@example.org,,Writing,,Chapter 2,No,2026-11-30,11:00:00,2026-11-30,11:20:00,,\r\n"
                  "Ann,a@example.org,,Writing,,Broken,No,2026-11-30,12:00:00,2026-11-30,99:00:00,,\r\n");
  auto result = app({"convert", "toggl", source.string(), "-o", converted.string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Line 4: End time “99:00:00” isn't a time.\n"
                        "lumetra-app: Nothing was written: 1 line can't be read. Fix it, or give --skip-bad to leave it "
                        "out.\n");
  EXPECT_FALSE(fs::exists(converted));

  result = app({"convert", "toggl", source.string(), "-o", converted.string(), "--skip-bad"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(tool({"import", converted.string(), "--dry-run"}).out.substr(0, 61),
            "Would import 2 sessions (1h 50m). Nothing was saved (dry run)");
  result = tool({"import", converted.string()});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(tool({"import", converted.string()}).out, "Nothing to import.\nSkipped 2 rows with source IDs imported before.\n");
  EXPECT_EQ(app({"convert", "nope", source.string()}).err,
            "lumetra-app: There's no format named “nope”. Choose toggl, clockify, timewarrior or watson.\n"
            "Run “lumetra-app help” for usage.\n");
}

}  // namespace
}  // namespace lumetra
