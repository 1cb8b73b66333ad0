// What both programs print and send, kept as transcripts in tests/cli/golden: each command runs
// here against a transport that answers with the transcript's reply, on 2024-05-01 at 12:00 in
// Berlin, reading "Project,Start,End" from any import file.
#include <gtest/gtest.h>

#include <system_error>

#include "cli/Commands.hpp"
#include "support/TestSupport.hpp"
#include "support/Transcript.hpp"

namespace lumetra {
namespace {

using CommandLineTool::Output;
using test::TranscriptStep;

const Calendar kCalendar(test::kTestTimeZone);
const Instant kNow = test::localTime(2024, 5, 1, 12, 0);

Output run(const std::vector<std::string>& words, const Transport& transport,
           const CommandLineTool::FileReader& reader = [](const std::string&) { return std::string("Project,Start,End\n"); }) {
  const auto program = words.front() == "lumetra" ? Commands::Program::tool : Commands::Program::app;
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  return Commands::run({program, transport, transport, {}}, rest, {kNow, kCalendar, reader});
}

Output run(const TranscriptStep& step, std::vector<std::string>& sent) {
  return run(step.words, [&](const std::string& bytes) -> std::string {
    sent.push_back(bytes);
    const std::string reply = step.reply.value_or("!failed (the transcript has no reply)");
    if (!reply.starts_with("!")) return reply;
    const auto space = reply.find(' ');
    throw ControlError(*fromRawValue<ControlError::Code>(reply.substr(1, space - 1)), reply.substr(space + 1));
  });
}

class GoldenTest : public testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, PrintsAndSendsWhatTheTranscriptSays) {
  for (const TranscriptStep& step : test::readTranscript(std::filesystem::path(LUMETRA_GOLDEN_DIR) / GetParam())) {
    SCOPED_TRACE(step.where);
    std::vector<std::string> sent;
    const Output output = run(step, sent);
    if (step.request) {
      EXPECT_EQ(sent, std::vector{*step.request});
    }
    if (step.request && !step.reply) continue;
    EXPECT_EQ(output, (Output{step.status, step.out, step.err}));
    if (!step.reply) {
      EXPECT_TRUE(sent.empty());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, GoldenTest, testing::Values("usage.t", "requests.t", "failures.t", "text.t", "import.t"),
                         [](const auto& test) { return test.param.substr(0, test.param.find('.')); });

TEST(CommandLineTest, HelpInEveryForm) {
  const Transport none = [](const std::string&) -> std::string { throw std::logic_error("sent"); };
  const Output help = run({"lumetra", "help"}, none);
  for (const std::vector<std::string>& words : {std::vector<std::string>{"lumetra"}, {"lumetra", "--help"},
                                              {"lumetra", "-h"}, {"lumetra", "status", "--help"}, {"lumetra", "--json"},
                                              {"lumetra", "-h", "--", "x"}}) {
    EXPECT_EQ(run(words, none), help) << words.back();
  }
  EXPECT_EQ(help.out, CommandLineTool::usage() + "\n");
}

TEST(CommandLineTest, LooksLikeOption) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"-", false},    {"-5", false},    {"--", false},   {"-x", true},   {"--json=1", true},
      {"--9a", false}, {"--a_b", false}, {"--é-2", true}, {"-ab", false}, {"---x", false},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(CommandLineTool::looksLikeOption(word), expected) << word;
}

TEST(CommandLineTest, OneLineAndTrailingSpaces) {
  using CommandLineTool::Formatter;
  EXPECT_EQ(Formatter::oneLine("first line\n\nsecond"), "first line second");
  EXPECT_EQ(Formatter::oneLine("a\r\nb\rc\u2028d\u2029e\u0085f\vg\fh"), "a b c d e f g h");
  EXPECT_EQ(Formatter::oneLine("  tabs\tstay \n"), "  tabs\tstay ");
  EXPECT_EQ(Formatter::trimmingTrailingSpaces("x  \t  "), "x  \t");
}

// An import's file that can't be sent is refused with status 1 before anything is sent.
TEST(CommandLineTest, ImportFileProblems) {
  const auto missing = [](const std::string&) -> std::string { throw std::system_error(ENOENT, std::generic_category()); };
  const auto latin1 = [](const std::string&) { return std::string("Caf\xE9,Start,End\n"); };
  const auto tooLarge = [](const std::string&) { return std::string(CommandLineTool::importSizeLimit + 1, 'a'); };
  const auto both = [](const std::string&) { return std::string(CommandLineTool::importSizeLimit + 1, 'a') + "\xE9"; };
  const std::vector<std::tuple<std::string, CommandLineTool::FileReader, std::string>> cases{
      {"gone.csv", missing, "Couldn't read gone.csv: No such file or directory."},
      {"old.csv", latin1, "old.csv isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
      {"-", latin1, "standard input isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
      {"big.csv", tooLarge, "big.csv is too large to import at once. Split it into files under 8 MB."},
      {"both.csv", both, "both.csv isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
  };
  const Transport none = [](const std::string&) -> std::string { throw std::logic_error("sent"); };
  for (const auto& [path, reader, message] : cases) {
    EXPECT_EQ(run({"lumetra", "import", path}, none, reader), (Output{1, "", "lumetra: " + message + "\n"})) << path;
    EXPECT_EQ(run({"lumetra", "import", path, "--json"}, none, reader).status, 1);
  }
  test::TemporaryDirectory folder;
  EXPECT_EQ(test::thrownText<CommandLineTool::UsageError>([&] { (void)CommandLineTool::importText(folder.path()); }),
            "Couldn't read " + folder.path().string() + ": Is a directory.");
}

}  // namespace
}  // namespace lumetra
