// The wait for a notice's answer is bounded: a stranger's ActionInvoked does not
// count, and at the deadline the notice is taken off the screen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeNotifier.h"
#include "cli/NoticeBus.h"

namespace vormla::notifytest {
namespace {

TEST(NoticeBusTest, OnlyTheServersAnswerCountsAndTheDeadlineWithdrawsTheNotice) {
  FakeNotifier server;
  ASSERT_TRUE(server.Started()) << "no session bus: run under dbus-run-session";
  cli::NoticeBus bus(std::chrono::seconds(5));
  ASSERT_EQ(bus.Connect(), "");
  ASSERT_EQ(bus.Send({"app", "icon", "entry", "summary", "body", {{"open", "開く"}}}), "");
  EXPECT_TRUE(bus.TakesActions());
  ASSERT_EQ(bus.Id(), 1u);

  sd_bus* stranger = nullptr;
  ASSERT_GE(sd_bus_open_user(&stranger), 0);
  SendAction(stranger, "", bus.Id(), "open");
  sd_bus_flush_close_unref(stranger);
  std::string action;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(bus.Await(start + std::chrono::milliseconds(500), action), cli::NoticeAnswer::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(action, "");
  bus.Withdraw();
  const std::vector<ReceivedCall> withdrawn = server.Calls("CloseNotification");
  ASSERT_EQ(withdrawn.size(), 1u);
  EXPECT_THAT(withdrawn[0].Dump, ::testing::HasSubstr("UINT32 1;"));
}

}  // namespace
}  // namespace vormla::notifytest
