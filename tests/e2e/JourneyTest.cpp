// Journeys through the real host, kept as transcripts in tests/e2e/journeys: each command runs as
// a real `lumetra` or `lumetra-app`, and "$ sleep SECONDS" waits. Times vary, so "?" and "*"
// stand for any character and any run of them.
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
    const std::vector<std::string> words(step.words.begin() + 1, step.words.end());
    if (step.words.front() == "sleep") {
      std::this_thread::sleep_for(std::chrono::duration<double>(std::stod(words.front())));
      continue;
    }
    const auto result = step.words.front() == "lumetra" ? tool(words) : app(words);
    EXPECT_TRUE(test::globMatch(step.out, result.out)) << "standard output:\n" << result.out << "expected:\n" << step.out;
    EXPECT_TRUE(test::globMatch(step.err, result.err)) << "standard error:\n" << result.err << "expected:\n" << step.err;
    EXPECT_EQ(result.status, step.status);
  }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, JourneyTest, testing::Values("first-session.t", "menu.t"),
                         [](const auto& info) { return std::string(info.param == "menu.t" ? "menu" : "firstSession"); });

}  // namespace
}  // namespace lumetra
