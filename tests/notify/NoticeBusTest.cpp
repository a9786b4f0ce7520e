// A notice's answer as NoticeBus waits for it, against the fake service: what the
// user does reaches it, a stranger's signal does not, and the deadline takes the
// notice off the screen.
#include <gtest/gtest.h>

#include "FakeNotifier.h"
#include "cli/NoticeBus.h"

namespace vormla::notifytest {
namespace {

using cli::NoticeAnswer;
using cli::NoticeBus;

enum class Doing { kAction, kClose, kStrangerAction, kNothing };

struct AnswerCase {
  const char* name;
  bool actions;
  Doing doing;
  NoticeAnswer answer;
  const char* action;
  bool withdrawn;
};

TEST(NoticeBusTest, TheAnswerOfTheServerThatTookTheNotice) {
  const AnswerCase cases[] = {
      {"the user opens it", true, Doing::kAction, NoticeAnswer::kAction, "open", false},
      {"the user closes it", true, Doing::kClose, NoticeAnswer::kClosed, "", false},
      {"another connection claims the action", true, Doing::kStrangerAction, NoticeAnswer::kTimedOut, "", true},
      {"nobody answers", false, Doing::kNothing, NoticeAnswer::kTimedOut, "", true},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeNotifier server({c.actions, false, false});
    ASSERT_TRUE(server.Started()) << "no session bus: run under dbus-run-session";
    NoticeBus bus(std::chrono::seconds(5));
    ASSERT_EQ(bus.Connect(), "");
    ASSERT_EQ(bus.Send({"app", "icon", "entry", "summary", "body", {{"open", "開く"}}}), "");
    EXPECT_EQ(bus.TakesActions(), c.actions);
    const ReceivedNotice notice = server.Notices().at(0);
    EXPECT_EQ(bus.Id(), notice.Id);

    sd_bus* stranger = nullptr;
    ASSERT_GE(sd_bus_open_user(&stranger), 0);
    if (c.doing == Doing::kAction) server.InvokeAction(notice, "open");
    if (c.doing == Doing::kClose) server.CloseNotice(notice);
    if (c.doing == Doing::kStrangerAction) SendNoticeSignal(stranger, "", "ActionInvoked", notice.Id, "open");
    std::string action;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bus.Await(start + std::chrono::milliseconds(600), action), c.answer);
    EXPECT_EQ(action, c.action);
    if (c.answer == NoticeAnswer::kTimedOut) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
      bus.Withdraw();
    }
    EXPECT_EQ(server.Withdrawn(), c.withdrawn ? std::vector<std::uint32_t>{notice.Id} : std::vector<std::uint32_t>{});
    sd_bus_flush_close_unref(stranger);
  }
}

}  // namespace
}  // namespace vormla::notifytest
