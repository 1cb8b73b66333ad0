#include "actions/WindowPort.hpp"
#include "web/WebAccess.hpp"

#include <gtest/gtest.h>

namespace lumetra {
namespace {

TEST(WebAccessTest, HostAndOriginMustBeThePagesOwn) {
  struct Case {
    const char* host;
    bool allowed;
  };
  for (const Case& c : std::initializer_list<Case>{{"127.0.0.1:47823", true},
                                                   {"localhost:47823", true},
                                                   {"127.0.0.1:4782", false},
                                                   {"127.0.0.1:478230", false},
                                                   {"attacker.example:47823", false},
                                                   {"127.0.0.1.attacker.example:47823", false},
                                                   {"[::1]:47823", false},
                                                   {"127.0.0.1", false},
                                                   {"", false}}) {
    EXPECT_EQ(WebAccess::hostAllowed(c.host, 47823), c.allowed) << c.host;
  }
  EXPECT_TRUE(WebAccess::originAllowed("http://127.0.0.1:47823", "127.0.0.1:47823"));
  EXPECT_FALSE(WebAccess::originAllowed("http://localhost:47823", "127.0.0.1:47823"));
  EXPECT_FALSE(WebAccess::originAllowed("https://127.0.0.1:47823", "127.0.0.1:47823"));
  EXPECT_FALSE(WebAccess::originAllowed("null", "127.0.0.1:47823"));
  EXPECT_FALSE(WebAccess::originAllowed("", "127.0.0.1:47823"));
}

TEST(WebAccessTest, CookiesAndSecrets) {
  using Values = std::vector<std::string>;
  EXPECT_EQ(WebAccess::cookies("a=1; lumetra-5=abc; b=2", "lumetra-5"), Values{"abc"});
  EXPECT_EQ(WebAccess::cookies("lumetra-5=tossed; lumetra-5=abc", "lumetra-5"), (Values{"tossed", "abc"}));
  EXPECT_EQ(WebAccess::cookies("lumetra-50=abc", "lumetra-5"), Values{});
  EXPECT_EQ(WebAccess::cookies("xlumetra-5=abc", "lumetra-5"), Values{});
  EXPECT_EQ(WebAccess::cookies("", "lumetra-5"), Values{});
  EXPECT_TRUE(WebAccess::sameSecret("abc", "abc"));
  EXPECT_FALSE(WebAccess::sameSecret("abd", "abc"));
  EXPECT_FALSE(WebAccess::sameSecret("ab", "abc"));
  EXPECT_FALSE(WebAccess::sameSecret("abcd", "abc"));
  EXPECT_FALSE(WebAccess::sameSecret("", ""));
}

TEST(WebAccessTest, ThePortComesFromTheVariableThenTheSetting) {
  using Choice = std::pair<std::optional<int>, bool>;  // port, a problem said
  const auto choose = [](std::optional<std::string> variable, std::optional<std::string> setting) {
    const auto choice = WindowPort::choose(variable, setting);
    return Choice{choice.port, choice.problem.has_value()};
  };
  EXPECT_EQ(choose(std::nullopt, std::nullopt), Choice(WindowPort::defaultPort, false));
  EXPECT_EQ(choose("", "8080"), Choice(8080, false));
  EXPECT_EQ(choose("9090", "8080"), Choice(9090, false));
  EXPECT_EQ(choose("off", "8080"), Choice(std::nullopt, false));
  EXPECT_EQ(choose(std::nullopt, "off"), Choice(std::nullopt, false));
  EXPECT_EQ(choose("0", std::nullopt), Choice(0, false));
  for (const char* bad : {"65536", "-1", "80a", " 80", "on"}) {
    EXPECT_EQ(choose(bad, std::nullopt), Choice(std::nullopt, true)) << bad;
  }
  EXPECT_EQ(WindowPort::choose("x", std::nullopt).problem,
            "LUMETRA_WEB_PORT is “x”, not a port from 1 to 65535 or off, so the window is off.");
}

}  // namespace
}  // namespace lumetra
