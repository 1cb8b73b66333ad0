// The real `lumetra` binary, run as a process against a real socket in a temporary data directory.
#include <gtest/gtest.h>

#include <mutex>

#include "control/ControlProtocol.hpp"
#include "control/ControlServer.hpp"
#include "host/OwnerQueue.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

class ToolProcessTest : public testing::Test {
 protected:
  test::ProcessResult tool(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return test::runProcess(LUMETRA_TOOL_PATH, arguments, {{"LUMETRA_DATA_DIR", folder.path().string()}}, input);
  }

  // Serves the data directory's socket with a fixed reply, recording each request.
  void serve(std::string reply) {
    server = std::make_unique<ControlServer>(ControlProtocol::socketURL(folder.path()),
                                             [this, reply = std::move(reply)](const std::string& request) {
                                               std::lock_guard lock(requestsLock);
                                               requests.push_back(request);
                                               return reply;
                                             },
                                             "busy", ControlServer::Owner{[this](auto job) { owner.schedule(std::move(job)); }});
    server->start();
  }

  test::TemporaryDirectory folder;
  OwnerQueue owner{std::chrono::hours(1), nullptr};
  std::mutex requestsLock;
  std::vector<std::string> requests;
  std::unique_ptr<ControlServer> server;
};

TEST_F(ToolProcessTest, ImportReadsStandardInputAndFiles) {
  serve(
      R"({"ok":true,"result":{"dry_run":true,"allow_overlaps":false,"imported":false,"sessions":0,)"
      R"("approximate_sessions":0,"placeholder_sessions":0,"seconds":0,"skipped":0,"projects":[],"overlaps":[],"problems":[]}})");
  auto result = tool({"import", "-", "--dry-run"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Nothing to import.\n");
  result = tool({"import", "-"}, "Project,Start,End\n");
  EXPECT_EQ(result.status, 0);
  test::writeFile(folder / "exact.csv", std::string(8 * 1024 * 1024, 'a'));
  result = tool({"import", (folder / "exact.csv").string()});
  EXPECT_EQ(result.status, 0);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], R"({"command":"import","csv":"","dry_run":true,"version":1})");
  EXPECT_EQ(requests[1], R"({"command":"import","csv":"Project,Start,End\n","version":1})");
  EXPECT_EQ(requests[2].size(), 8u * 1024 * 1024 + 41);
}

}  // namespace
}  // namespace lumetra
