// Journeys through the real host, kept as transcripts in tests/e2e/journeys: each command runs as
// a real `lumetra` or `lumetra-app`, with its "<" lines as standard input, "NAME=value" words
// before it in its environment and $DIR for the test's folder; "$ file NAME" writes its "<"
// lines to a file in that folder and "$ sleep SECONDS" waits. Times vary, so "?" and "*" stand
// for any character and any run of them.
#include <gtest/gtest.h>

#include <thread>

#include "e2e/HostFixture.hpp"
#include "support/Transcript.hpp"

namespace lumetra {
namespace {

class JourneyTest : public test::HostFixture, public testing::WithParamInterface<std::string> {};

TEST_P(JourneyTest, GoesAsTheTranscriptSays) {
  for (const auto& step : test::readTranscript(std::filesystem::path(LUMETRA_JOURNEY_DIR) / GetParam())) {
    SCOPED_TRACE(step.where);
    const auto resolved = [&](std::string text) {
      for (auto at = text.find("$DIR"); at != std::string::npos; at = text.find("$DIR")) text.replace(at, 4, folder.path());
      return text;
    };
    std::map<std::string, std::string> environment;
    std::vector<std::string> words;
    for (const std::string& typed : step.words) {
      const std::string word = resolved(typed);
      const auto equals = word.find('=');
      if (words.empty() && equals != std::string::npos) {
        environment[word.substr(0, equals)] = word.substr(equals + 1);
      } else {
        words.push_back(word);
      }
    }
    const std::string program = words.front();
    words.erase(words.begin());
    const std::string input = step.reply ? *step.reply + "\n" : "";
    if (program == "sleep") {
      std::this_thread::sleep_for(std::chrono::duration<double>(std::stod(words.front())));
      continue;
    }
    if (program == "file") {
      test::writeFile(folder / words.front(), input);
      continue;
    }
    auto env = this->environment();
    for (const auto& [key, value] : environment) env[key] = value;
    const auto result = test::runProcess(program == "lumetra" ? LUMETRA_TOOL_PATH : LUMETRA_APP_PATH, words, env, input);
    EXPECT_TRUE(test::globMatch(resolved(step.out), result.out)) << "standard output:\n" << result.out << "expected:\n" << step.out;
    EXPECT_TRUE(test::globMatch(resolved(step.err), result.err)) << "standard error:\n" << result.err << "expected:\n" << step.err;
    EXPECT_EQ(result.status, step.status);
  }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, JourneyTest, testing::Values("first-session.t", "menu.t", "moving-in.t"),
                         [](const auto& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
}  // namespace lumetra
