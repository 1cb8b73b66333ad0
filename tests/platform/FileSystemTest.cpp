#include "platform/FileSystem.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

TEST(FileSystemTest, AtomicWriteReplacesOrLeavesTheOriginal) {
  test::TemporaryDirectory folder;
  const fs::path file = folder / "settings.json";
  test::writeFile(file, "old");
  FileSystem::writeAtomically(file, "new");
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");

  // Given a rename that must fail (a folder holding a file is in the way), expect the folder
  // intact and no temporary file left.
  const fs::path blocked = folder / "blocked";
  fs::create_directories(blocked);
  test::writeFile(blocked / "inside", "keep");
  EXPECT_THROW(FileSystem::writeAtomically(blocked, "x"), fs::filesystem_error);
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
  EXPECT_THROW(FileSystem::writeAtomically(folder / "missing" / "file", "x"), fs::filesystem_error);
}

TEST(FileSystemTest, UuidsAreCanonicalAndFresh) {
  const auto canonical = [](const std::string& text) {
    if (text.size() != 36 || text[14] != '4' || std::string("89AB").find(text[19]) == std::string::npos) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
      if (dash ? text[i] != '-' : std::string("0123456789ABCDEF").find(text[i]) == std::string::npos) return false;
    }
    return true;
  };
  const std::string a = FileSystem::uuid(), b = FileSystem::uuid();
  EXPECT_TRUE(canonical(a)) << a;
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace lumetra
