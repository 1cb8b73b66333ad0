#include "cli/CommandLineTool.hpp"

#include <gtest/gtest.h>

#include <system_error>
#include <vector>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using CommandLineTool::Output;
using test::localTime;

const Calendar kCalendar(test::kTestTimeZone);
const Instant kNow = localTime(2024, 5, 1, 12, 0);

// A transport that records what was sent and answers with a fixed reply.
struct RecordingTransport {
  std::string reply;
  std::vector<std::string> sent{};
  Transport function() {
    return [this](const std::string& bytes) {
      sent.push_back(bytes);
      return reply;
    };
  }
};

Output runWords(const std::vector<std::string>& words, const Transport& transport,
                const CommandLineTool::FileReader& reader = CommandLineTool::readFile) {
  return CommandLineTool::run(words, transport, kNow, kCalendar, reader);
}

std::string sentFor(const std::vector<std::string>& words) {
  RecordingTransport transport{R"({"ok":false,"error":{"code":"failed","message":"x"}})"};
  (void)runWords(words, transport.function());
  return transport.sent.empty() ? "(nothing)" : transport.sent.front();
}

const std::string kHelpHint = "\nRun “lumetra help” for usage.\n";

TEST(CommandLineToolTest, UsageErrorsExitTwoAndSendNothing) {
  struct Case {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<Case> cases{
      {{"--bogus", "--help"}, "Unknown option --bogus."},
      {{"foo"}, "Unknown command “foo”."},
      {{"mcp", "--json"}, "mcp takes no options or arguments."},
      {{"status", "--json=1"}, "Unknown option --json=1."},
      {{"start"}, "start needs a project name."},
      {{"start", "Client", "Work"}, "Too many arguments for start. Put text with spaces in quotes."},
      {{"start", "Work", "-d"}, "-d needs a value."},
      {{"describe"}, "describe needs a description. Use \"\" to remove one."},
      {{"describe", "42"}, "describe 42 needs the text too. To set the text “42”, use “lumetra describe -- 42”."},
      {{"describe", "0", "x"}, "“0” isn't a session id. Ids are shown by “lumetra sessions”."},
      {{"describe", "1", "2", "3"}, "Too many arguments for describe. Put text with spaces in quotes."},
      {{"import"}, "import needs a CSV file, or - to read standard input."},
      {{"sessions", "--limit", "0"}, "--limit needs a whole number above 0."},
      {{"sessions", "--limit", "99999999999999999999"}, "--limit needs a whole number above 0."},
      {{"sessions", "--since", "2024-02-30"}, "“2024-02-30” isn't a date. Use YYYY-MM-DD, today or yesterday."},
      {{"sessions", "--since", "2024-05-01 09:30:00"},
       "“2024-05-01 09:30:00” isn't a date. Use YYYY-MM-DD, today or yesterday."},
      // The since value is checked before the options the command doesn't take.
      {{"sessions", "--since", "soon", "--all"}, "“soon” isn't a date. Use YYYY-MM-DD, today or yesterday."},
      {{"stop", "--all"}, "stop doesn't take --all."},
      {{"projects", "-p", "x", "--json", "--dry-run"}, "projects doesn't take --dry-run."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.words));
    RecordingTransport transport;
    const Output output = runWords(c.words, transport.function());
    EXPECT_EQ(output, (Output{2, "", "lumetra: " + c.message + kHelpHint}));
    EXPECT_TRUE(transport.sent.empty());
  }
}

TEST(CommandLineToolTest, HelpInEveryFormPrintsTheUsage) {
  const std::vector<std::vector<std::string>> cases{
      {}, {"help"}, {"help", "status"}, {"--help"}, {"-h"}, {"status", "--help"}, {"--json"}, {"-h", "--", "x"}};
  for (const auto& words : cases) {
    SCOPED_TRACE(testing::PrintToString(words));
    RecordingTransport transport;
    EXPECT_EQ(runWords(words, transport.function()), (Output{0, CommandLineTool::usage() + "\n", ""}));
    EXPECT_TRUE(transport.sent.empty());
  }
}

TEST(CommandLineToolTest, WordsBecomeTheseRequestBytes) {
  struct Case {
    std::vector<std::string> words;
    std::string sent;
  };
  const std::vector<Case> cases{
      {{"status"}, R"({"command":"status","version":1})"},
      {{"projects"}, R"({"command":"projects","version":1})"},
      {{"projects", "--all"}, R"({"command":"projects","include_archived":true,"version":1})"},
      {{"start", "Garden", "-d", "Planning"},
       R"({"command":"start","description":"Planning","project":"Garden","version":1})"},
      {{"start", "X", "--description="}, R"({"command":"start","description":"","project":"X","version":1})"},
      {{"start", "-5"}, R"({"command":"start","project":"-5","version":1})"},
      {{"start", "--", "--json"}, R"({"command":"start","project":"--json","version":1})"},
      {{"describe", "--", "42"}, R"({"command":"describe","description":"42","version":1})"},
      {{"describe", "42", "fixed"}, R"({"command":"describe","description":"fixed","session_id":42,"version":1})"},
      {{"describe", ""}, R"({"command":"describe","description":"","version":1})"},
      {{"sessions", "--limit=5"}, R"({"command":"sessions","limit":5,"version":1})"},
      {{"sessions", "-n", "5", "--limit", "7"}, R"({"command":"sessions","limit":7,"version":1})"},
      {{"sessions", "--until", "2024-05-01"},
       R"({"command":"sessions","until":"2024-05-02T00:00:00+02:00","version":1})"},
      {{"sessions", "--until", "2024-05-01T10:00:00+02:00"},
       R"({"command":"sessions","until":"2024-05-01T10:00:00+02:00","version":1})"},
      {{"sessions", "--since", "TODAY"}, R"({"command":"sessions","since":"2024-05-01T00:00:00+02:00","version":1})"},
      {{"sessions", "--since", "yesterday", "--until", "yesterday"},
       R"({"command":"sessions","since":"2024-04-30T00:00:00+02:00","until":"2024-05-01T00:00:00+02:00","version":1})"},
      // The day before a clock change is still one calendar day long.
      {{"sessions", "--since", "2024-03-31", "--until", "2024-03-31"},
       R"({"command":"sessions","since":"2024-03-31T00:00:00+01:00","until":"2024-04-01T00:00:00+02:00","version":1})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.words));
    EXPECT_EQ(sentFor(c.words), c.sent);
  }
}

TEST(CommandLineToolTest, LooksLikeOption) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"-", false},    {"-5", false},    {"--", false},   {"-x", true},   {"--json=1", true},
      {"--9a", false}, {"--a_b", false}, {"--é-2", true}, {"-ab", false}, {"---x", false},
  };
  for (const auto& [word, expected] : cases) {
    EXPECT_EQ(CommandLineTool::looksLikeOption(word), expected) << word;
  }
}

TEST(CommandLineToolTest, NotRunningIsStatusThreeAsTextOrJSON) {
  const Transport down = [](const std::string&) -> std::string {
    throw ControlError(ControlError::Code::notRunning, "Lumetra isn't running. Open it and try again.");
  };
  EXPECT_EQ(runWords({"status"}, down), (Output{3, "", "lumetra: Lumetra isn't running. Open it and try again.\n"}));
  EXPECT_EQ(runWords({"status", "--json"}, down),
            (Output{3,
                    "{\n  \"error\" : {\n    \"code\" : \"not_running\",\n    \"message\" : \"Lumetra isn't running. "
                    "Open it and try again.\"\n  }\n}\n",
                    ""}));
}

TEST(CommandLineToolTest, FailureCodesChooseTheExitStatus) {
  const std::vector<std::pair<ControlError::Code, int>> cases{
      {ControlError::Code::timedOut, 3},   {ControlError::Code::notRunning, 3},
      {ControlError::Code::failed, 1},     {ControlError::Code::unknownProject, 1},
      {ControlError::Code::badRequest, 1}, {ControlError::Code::nothingToResume, 1},
  };
  for (const auto& [code, status] : cases) {
    const Transport transport = [code = code](const std::string&) -> std::string {
      throw ControlError(code, "Refused.");
    };
    EXPECT_EQ(runWords({"stop"}, transport), (Output{status, "", "lumetra: Refused.\n"})) << rawValue(code);
  }
  // A failure of another kind counts as failed, with its own description.
  const Transport odd = [](const std::string&) -> std::string { throw std::runtime_error("odd"); };
  EXPECT_EQ(runWords({"stop"}, odd), (Output{1, "", "lumetra: odd\n"}));
  // Replies the application sends as refusals keep their code and message.
  RecordingTransport refusal{R"({"ok":false,"error":{"code":"unknown_project","message":"No project “X”."}})"};
  EXPECT_EQ(runWords({"start", "X"}, refusal.function()), (Output{1, "", "lumetra: No project “X”.\n"}));
}

TEST(CommandLineToolTest, PrintsResultsAsTextOrJSON) {
  RecordingTransport transport{
      R"({"ok":true,"result":{"projects":[{"id":1,"name":"Garden","archived":false},{"id":2,"name":"Old","archived":true}]}})"};
  EXPECT_EQ(runWords({"projects", "--all"}, transport.function()), (Output{0, "Garden\nOld (archived)\n", ""}));
  EXPECT_EQ(runWords({"projects", "--json"}, transport.function()),
            (Output{0,
                    "{\n  \"projects\" : [\n    {\n      \"archived\" : false,\n      \"id\" : 1,\n      \"name\" : "
                    "\"Garden\"\n    },\n    {\n      \"archived\" : true,\n      \"id\" : 2,\n      \"name\" : "
                    "\"Old\"\n    }\n  ]\n}\n",
                    ""}));
}

// Given an import report from the application, expect the exit status rule for imports.
TEST(CommandLineToolTest, ImportStatusFollowsProblemsAndRefusedOverlaps) {
  const std::string overlap =
      R"([{"line":4,"other_line":null,"session_id":17,"project":"Writing","start":"2024-04-30T09:00:00+02:00","end":"2024-04-30T10:00:00+02:00"}])";
  auto report = [&](bool allow, bool withOverlap, bool withProblem) {
    return std::string(R"({"ok":true,"result":{"dry_run":false,"allow_overlaps":)") + (allow ? "true" : "false") +
           R"(,"imported":false,"sessions":1,"approximate_sessions":0,"placeholder_sessions":0,"seconds":60,"skipped":0,"projects":[],"overlaps":)" +
           (withOverlap ? overlap : "[]") + R"(,"problems":)" +
           (withProblem ? R"([{"line":2,"message":"Bad."}])" : "[]") + "}}";
  };
  const auto reader = [](const std::string&) { return std::string("Project,Start,End\n"); };
  struct Case {
    bool allow, overlap, problem;
    int status;
  };
  for (const Case c : {Case{false, true, false, 1}, Case{true, true, false, 0}, Case{false, false, true, 1},
                       Case{false, false, false, 0}}) {
    RecordingTransport transport{report(c.allow, c.overlap, c.problem)};
    const Output output = runWords({"import", "a.csv"}, transport.function(), reader);
    EXPECT_EQ(output.status, c.status) << c.allow << c.overlap << c.problem;
    EXPECT_FALSE(output.out.empty());  // the report is printed in every case
    EXPECT_EQ(transport.sent.front(), R"({"command":"import","csv":"Project,Start,End\n","version":1})");
  }
}

TEST(CommandLineToolTest, ImportFileProblemsExitOneBeforeSending) {
  struct Case {
    std::string path;
    CommandLineTool::FileReader reader;
    std::string message;
  };
  const auto missing = [](const std::string&) -> std::string {
    throw std::system_error(ENOENT, std::generic_category());
  };
  const auto latin1 = [](const std::string&) { return std::string("Caf\xE9,Start,End\n"); };
  const auto tooLarge = [](const std::string&) { return std::string(CommandLineTool::importSizeLimit + 1, 'a'); };
  const auto tooLargeAndLatin1 = [](const std::string&) {
    return std::string(CommandLineTool::importSizeLimit + 1, 'a') + "\xE9";
  };
  const std::vector<Case> cases{
      {"gone.csv", missing, "Couldn't read gone.csv: No such file or directory."},
      {"old.csv", latin1, "old.csv isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
      {"-", latin1, "standard input isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
      {"big.csv", tooLarge, "big.csv is too large to import at once. Split it into files under 8 MB."},
      {"both.csv", tooLargeAndLatin1, "both.csv isn't UTF-8 text. Save it as CSV UTF-8 and try again."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    RecordingTransport transport;
    EXPECT_EQ(runWords({"import", c.path}, transport.function(), c.reader),
              (Output{1, "", "lumetra: " + c.message + "\n"}));
    EXPECT_EQ(runWords({"import", c.path, "--json"}, transport.function(), c.reader).status, 1);
    EXPECT_TRUE(transport.sent.empty());
  }
}

TEST(CommandLineToolTest, ReadFileReportsTheSystemError) {
  test::TemporaryDirectory folder;
  test::writeFile(folder / "a.csv", "x,y\n");
  EXPECT_EQ(CommandLineTool::readFile((folder / "a.csv").string()), "x,y\n");
  const auto message = [&](const std::string& path) {
    try {
      (void)CommandLineTool::importText(path);
    } catch (const CommandLineTool::UsageError& error) {
      return error.message;
    }
    return std::string("(read)");
  };
  EXPECT_EQ(message(folder.path().string()), "Couldn't read " + folder.path().string() + ": Is a directory.");
  EXPECT_EQ(message((folder / "none.csv").string()),
            "Couldn't read " + (folder / "none.csv").string() + ": No such file or directory.");
}

}  // namespace
}  // namespace lumetra
