#include "cli/Commands.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using CommandLineTool::Output;

const Calendar kCalendar(test::kTestTimeZone);
const Instant kNow = test::localTime(2024, 5, 1, 12, 0);

Output appRun(const std::vector<std::string>& words, const Transport& transport) {
  return Commands::run({Commands::Program::app, transport, transport, {}}, words, {kNow, kCalendar});
}

struct Recorder {
  std::string reply = R"({"ok":true,"result":{}})";
  std::vector<std::string> sent{};
  Transport function() {
    return [this](const std::string& bytes) {
      sent.push_back(bytes);
      return reply;
    };
  }
};

TEST(MenuCommandLineTest, UsageErrorsSendNothing) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"fly"}, "Unknown command “fly”."},
      {{"project", "fly"}, "Unknown command “project fly”."},
      {{"project", "add"}, "project add needs a project name."},
      {{"project", "add", "A", "B"}, "Too many arguments for project add. Put text with spaces in quotes."},
      {{"project", "rename", "A"}, "project rename needs the project's name and its new name."},
      {{"session", "add", "A", "09:00"}, "session add needs a project, a start and an end."},
      {{"session", "add", "A", "9am", "10:00"}, "“9am” isn't a time. Use HH:MM, “YYYY-MM-DD HH:MM” or an ISO 8601 time."},
      {{"session", "delete", "x"}, "“x” isn't a session id. Ids are shown by “lumetra sessions”."},
      {{"session", "delete", "1", "-d", "x"}, "session delete doesn't take --description."},
      {{"idle-timeout", "0"}, "“0” isn't a number of minutes above 0."},
      {{"session", "split", "1", "10:00", "--first"}, "--first needs a value."},
      {{"session", "edit", "1"}, "session edit needs --project, --start or --end."},
  };
  for (const auto& [words, message] : cases) {
    Recorder recorder;
    EXPECT_EQ(appRun(words, recorder.function()),
              (Output{2, "", "lumetra-app: " + message + "\nRun “lumetra-app help” for usage.\n"}))
        << testing::PrintToString(words);
    EXPECT_TRUE(recorder.sent.empty());
  }
}

TEST(MenuCommandLineTest, WordsBecomeRequests) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"projects", "--all"}, R"({"action":"projects","all":true})"},
      {{"project", "rename", "A", "B"}, R"({"action":"project-rename","name":"A","new_name":"B"})"},
      {{"session", "add", "A", "09:00", "2024-04-30 10:00", "-d", "x"},
       R"({"action":"session-add","description":"x","end":"2024-04-30T10:00:00+02:00","project":"A","start":"2024-05-01T09:00:00+02:00"})"},
      {{"session", "edit", "3", "--end", "2024-05-01T08:00:00Z"},
       R"({"action":"session-edit","end":"2024-05-01T10:00:00+02:00","id":3})"},
      {{"session", "merge", "3", "4"}, R"({"action":"session-merge","id":3,"next_id":4})"},
      {{"idle-timeout", "1.5"}, R"({"action":"idle-timeout","seconds":90.0})"},
  };
  for (const auto& [words, sent] : cases) {
    Recorder recorder;
    (void)appRun(words, recorder.function());
    ASSERT_EQ(recorder.sent.size(), 1u);
    EXPECT_EQ(recorder.sent.front(), sent);
  }
}

TEST(MenuCommandLineTest, RefusalsAndAbsence) {
  Recorder refused{R"({"error":{"code":"invalid","message":"Project name cannot be empty."},"ok":false})"};
  EXPECT_EQ(appRun({"project", "add", " "}, refused.function()),
            (Output{1, "", "lumetra-app: Project name cannot be empty.\n"}));
  const Transport down = [](const std::string&) -> std::string {
    throw ControlError(ControlError::Code::notRunning, "Lumetra isn't running. Open it and try again.");
  };
  EXPECT_EQ(appRun({"projects"}, down).status, 3);
  EXPECT_EQ(appRun({"help"}, down).status, 0);
}

}  // namespace
}  // namespace lumetra
