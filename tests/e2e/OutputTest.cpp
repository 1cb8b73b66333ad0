// What the programs write, and where: a full disk is an error, and `-o` writes through whatever
// is at the path the way a shell's redirection would, replacing a file (a link's target, not
// the link) in one step and keeping its mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <future>

#include "platform/FileSystem.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

const std::string kToggl =
    "Project,Start date,Start time,End date,End time\nGarden,2026-11-30,09:00:00,2026-11-30,10:00:00\n";
constexpr const char* kConverted = "Project,Start,End,Description,Source ID\r\nGarden,2026-11-30 09:00:00,";

TEST(OutputTest, AFullDiskIsAnError) {
  test::TemporaryDirectory folder;
  test::writeFile(folder / "toggl.csv", kToggl);
  const std::map<std::string, std::string> environment{{"LUMETRA_DATA_DIR", folder.path().string()}};
  const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> cases{
      {LUMETRA_TOOL_PATH, {"help"}, "lumetra: Couldn't write to standard output: No space left on device.\n"},
      {LUMETRA_APP_PATH, {"--version"}, "lumetra-app: Couldn't write to standard output: No space left on device.\n"},
      {LUMETRA_APP_PATH, {"convert", "toggl", (folder / "toggl.csv").string()},
       "Converted 1 entry from toggl.\nlumetra-app: Couldn't write to standard output: No space left on device.\n"},
  };
  for (const auto& [program, words, err] : cases) {
    const auto result = test::runProcess(program, words, environment, {}, "/dev/full");
    EXPECT_EQ(result.status, 1) << words.front();
    EXPECT_EQ(result.err, err);
  }
}

class ConvertOutputTest : public testing::Test {
 protected:
  void SetUp() override { test::writeFile(folder / "toggl.csv", kToggl); }
  test::ProcessResult convert(const fs::path& output) {
    return test::runProcess(LUMETRA_APP_PATH, {"convert", "toggl", (folder / "toggl.csv").string(), "-o", output.string()});
  }
  std::string read(const fs::path& path) { return FileSystem::readFile(path); }
  unsigned mode(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
  }
  test::TemporaryDirectory folder;
};

TEST_F(ConvertOutputTest, FilesLinksFIFOsAndDevices) {
  // A file keeps its mode; a new one gets the umask's.
  test::writeFile(folder / "private.csv", "old");
  ::chmod((folder / "private.csv").c_str(), 0600);
  EXPECT_EQ(convert(folder / "private.csv").status, 0);
  EXPECT_EQ(mode(folder / "private.csv"), 0600u);
  EXPECT_TRUE(read(folder / "private.csv").starts_with(kConverted));
  EXPECT_EQ(convert(folder / "new.csv").status, 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(mode(folder / "new.csv"), 0666u & ~mask);

  // A link: its target is replaced, the link stays; a dangling one gets its target made.
  fs::create_directory(folder / "elsewhere");
  test::writeFile(folder / "elsewhere/target.csv", "old");
  fs::create_symlink("elsewhere/target.csv", folder / "link.csv");
  fs::create_symlink("elsewhere/missing.csv", folder / "dangling.csv");
  EXPECT_EQ(convert(folder / "link.csv").status, 0);
  EXPECT_EQ(convert(folder / "dangling.csv").status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
  EXPECT_TRUE(read(folder / "elsewhere/target.csv").starts_with(kConverted));
  EXPECT_TRUE(read(folder / "elsewhere/missing.csv").starts_with(kConverted));

  // A FIFO is written through, and stays one; so does a device.
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] { return read(folder / "fifo"); });
  EXPECT_EQ(convert(folder / "fifo").status, 0);
  EXPECT_TRUE(reader.get().starts_with(kConverted));
  EXPECT_TRUE(fs::is_fifo(folder / "fifo"));
  EXPECT_EQ(convert("/dev/null").status, 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  const auto through = test::runProcess(LUMETRA_APP_PATH, {"convert", "toggl", (folder / "toggl.csv").string(), "-o", "/proc/self/fd/1"});
  EXPECT_TRUE(through.out.starts_with(kConverted)) << through.err;

  // No temporary file is left behind, and a folder is refused.
  const auto refused = convert(folder / "elsewhere");
  EXPECT_EQ(refused.status, 1);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dangling.csv", "elsewhere", "fifo", "link.csv", "new.csv", "private.csv",
                                             "toggl.csv"}));
}

}  // namespace
}  // namespace lumetra
