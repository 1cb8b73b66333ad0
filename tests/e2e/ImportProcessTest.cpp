// `lumetra import` and `lumetra-app export` end to end, against the real host.
#include <gmock/gmock.h>

#include <random>

#include "e2e/HostFixture.hpp"
#include "store/Database.hpp"

namespace lumetra {
namespace {

class ImportProcessTest : public test::HostFixture {
 protected:
  std::string tables() {
    Database db((data() / "lumetra.sqlite").string());
    return test::dumpTables(db);
  }
  std::string file(const std::string& name, const std::string& text) {
    test::writeFile(folder / name, text);
    return (folder / name).string();
  }
};

const std::string kRows =
    "Project,Start,End,Description,Times,Source ID\n"
    "Garden,2024-05-01 09:00:00,2024-05-01 10:00:00,Beds,approximate,g-1\n"
    "Writing,2024-05-01 10:00:00,2024-05-01 11:30:00,\"Chapter 2, again\",,\n"
    "Garden,2024-05-02 08:00,2024-05-02 08:45,,placeholder,g-2\n";

TEST_F(ImportProcessTest, DryRunThenImport) {
  const std::string path = file("a.csv", kRows);
  const std::string before = tables();
  auto result = tool({"import", path, "--dry-run"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Would import 3 sessions (3h 15m). Nothing was saved (dry run).\n"
            "1 session has approximate times.\n"
            "1 session has placeholder times.\n\n"
            "Projects:\n"
            "  Garden (new)   2 sessions  1h 45m\n"
            "  Writing (new)   1 session  1h 30m\n");
  EXPECT_EQ(tables(), before);

  result = tool({"import", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("Imported 3 sessions (3h 15m).\n")) << result.out;
  // Again: the rows with source IDs are skipped; the other one would now overlap itself.
  result = tool({"import", path, "--json"});
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, testing::HasSubstr("\"skipped\" : 2"));
}

TEST_F(ImportProcessTest, ExportImportsBackIntoAnEmptyStore) {
  ASSERT_EQ(tool({"import", "-"}, kRows).status, 0);
  ASSERT_EQ(app({"session", "add", "Writing", "2024-05-03 09:00", "2024-05-03 09:20", "-d", "=by hand"}).status, 1);
  ASSERT_EQ(app({"session", "add", "Writing", "2024-05-03 09:00", "2024-05-03 09:20", "-d", "By hand"}).status, 0);
  const auto exported = app({"export", "-o", (folder / "out.csv").string()});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const auto text = app({"export"}).out;
  stopHost();

  dataName = "other";
  startHost();
  auto result = tool({"import", (folder / "out.csv").string()});
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(result.out.starts_with("Imported 4 sessions (3h 35m).")) << result.out;
  // The same projects, times, descriptions and kinds of times: the export reads back alike,
  // but for the entry of the rows that were imported now.
  std::string again = app({"export"}).out;
  std::string original = text;
  for (auto* t : {&again, &original}) {
    for (const std::string entry : {",manual,", ",tracked,"}) {
      for (auto at = t->find(entry); at != std::string::npos; at = t->find(entry))
        t->replace(at, entry.size(), ",imported,");
    }
  }
  EXPECT_EQ(again, original);
  result = tool({"import", (folder / "out.csv").string()});
  EXPECT_THAT(result.out, testing::HasSubstr("Skipped 2 rows with source IDs imported before."));
}

TEST_F(ImportProcessTest, BadInputNeverCrashesOrStores) {
  const std::string before = tables();
  std::mt19937 random(7);
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>(random() % 128);  // ASCII, so it reaches the host
  const std::vector<std::string> inputs{
      noise,
      "Project,Start,End\n\"never closed,2024-05-01 09:00,2024-05-01 10:00\n",
      "Project,Start,End\nx,2024-05-01 09:00,2024-05-01 10:00," + std::string(7 * 1024 * 1024, 'x') + "\n",
      std::string(100000, '"'),
      std::string(100000, ','),
  };
  for (const auto& input : inputs) {
    const auto result = tool({"import", "-"}, input);
    EXPECT_EQ(result.status, 1) << result.out.substr(0, 200) << result.err.substr(0, 200);
    EXPECT_TRUE(tables() == before) << "the store changed";
  }
  EXPECT_EQ(tool({"status"}).status, 0);  // still serving
}

// lumetra-app has the host read the file a MiB at a time: a character cut by a piece's end is
// whole in the next, and bad bytes past the first MiB still refuse the whole file.
TEST_F(ImportProcessTest, LumetraAppReadsAFileInPieces) {
  std::string text = "Project,Start,End,Description\n";
  for (int i = 0; text.size() < (1 << 20) + 4096; ++i) {
    const std::string day = "2024-05-" + std::string(i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1);
    const std::string hour = (i / 28 % 24 < 10 ? "0" : "") + std::to_string(i / 28 % 24);
    const std::string row = "Garden," + day + " " + hour + ":00," + day + " " + hour + ":30,";
    // One row's padding puts a "€" across the first MiB's end.
    const std::size_t toCut = (1 << 20) - 1 - text.size() - row.size();
    const bool cut = text.size() < (1 << 20) && toCut < 2000 + 4;
    text += row + std::string(cut ? toCut : 2000, 'x');
    text += "€\n";
  }
  const auto imported = app({"import", file("pieces.csv", text), "--allow-overlaps"});
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
  const std::string before = tables();
  const auto refused = app({"import", file("latin1.csv", text + "Late,2024-06-01 09:00,2024-06-01 10:00,caf\xE9\n"),
                            "--allow-overlaps"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, testing::HasSubstr("latin1.csv isn't UTF-8 text. Save it as CSV UTF-8 and try again."));
  EXPECT_TRUE(tables() == before) << "the store changed";
}

}  // namespace
}  // namespace lumetra
