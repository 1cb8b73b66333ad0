// The sentences that name a Mac's places, in both platforms' words.
#include "platform/PlatformWording.hpp"

#include <gtest/gtest.h>

namespace lumetra {
namespace {

TEST(PlatformWordingTest, MacTextsStandAndLinuxReplacesOnlyTheirWords) {
  for (const auto& [mac, elsewhere] : PlatformWording::kReplacements) {
    EXPECT_EQ(PlatformWording::worded(mac, true), mac);
    EXPECT_EQ(PlatformWording::worded(mac, false), elsewhere);
  }
  const std::string instructions = "Lumetra is a menu bar time tracker on this Mac. These tools …";
  EXPECT_EQ(PlatformWording::worded(instructions, false), "Lumetra is a time tracker on this computer. These tools …");
  EXPECT_EQ(PlatformWording::worded("“Old” is archived. Unarchive it in Lumetra (Manage Projects) to track it.", false),
            "“Old” is archived. Unarchive it with lumetra-app project unarchive to track it.");
  EXPECT_EQ(PlatformWording::worded("Nothing Mac-only here.", false), "Nothing Mac-only here.");
}

}  // namespace
}  // namespace lumetra
