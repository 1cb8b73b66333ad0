#include <gtest/gtest.h>

#include "control/ControlProtocol.hpp"
#include "store/Store.hpp"

namespace lumetra {
namespace {

TEST(StoreLocationTest, DataDirectoryRules) {
  struct Case {
    Environment environment;
    std::string directory;
  };
  const std::vector<Case> cases{
      {{{"LUMETRA_DATA_DIR", "/tmp/scratch"}, {"HOME", "/home/a"}}, "/tmp/scratch"},
      {{{"LUMETRA_DATA_DIR", "relative/dir"}, {"HOME", "/home/a"}}, "relative/dir"},
      {{{"LUMETRA_DATA_DIR", ""}, {"HOME", "/home/a"}}, "/home/a/.local/share/Lumetra"},
      {{{"HOME", "/home/a"}}, "/home/a/.local/share/Lumetra"},
      {{{"HOME", "/home/a"}, {"XDG_DATA_HOME", "/data"}}, "/data/Lumetra"},
      // A relative XDG_DATA_HOME is invalid and ignored.
      {{{"HOME", "/home/a"}, {"XDG_DATA_HOME", "data"}}, "/home/a/.local/share/Lumetra"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Store::defaultDirectory(c.environment).string(), c.directory);
  }
  EXPECT_EQ(Store::directoryOverride(Environment{{"LUMETRA_DATA_DIR", ""}}), std::nullopt);
  EXPECT_EQ(ControlProtocol::socketURL(Store::defaultDirectory(Environment{{"LUMETRA_DATA_DIR", "/x"}})).string(),
            "/x/lumetra.sock");
}

}  // namespace
}  // namespace lumetra
