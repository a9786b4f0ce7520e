// Signing in against canned pages: what is fetched, which token is cut out and posted.
#include <gtest/gtest.h>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"

namespace vormla {
namespace {

using testing::FakeWebAccess;
using testing::RecordingObserver;
using testing::TempFolder;

const std::string kRoot = "https://market.test";
const std::string kRest = "&bookmark=on&login_id=pelorint58&password=quastel74&refererURL=" + kRoot + "/";

std::string MetaLine(const std::string& token) { return "<meta name=\"csrf-token\" content=\"" + token + "\">"; }

class SignInTest : public ::testing::Test {
 protected:
  SignInTest() : job(SearchConditions{}, {}, {}, observer, web, kRoot) {
    web.bodies[kRoot + "/logout"] = "<html>signed out</html>\n";
  }
  void LoginPage(const std::string& page) { web.bodies[kRoot + "/login"] = page; }
  std::vector<testing::RecordedCall> Posts() const { return web.CallsOf("POST"); }

  TempFolder folder;
  RecordingObserver observer;
  FakeWebAccess web;
  RetrievalJob job;
};

TEST_F(SignInTest, FortyCharacterTokenIsPosted) {
  const std::string token = "AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcd";
  ASSERT_EQ(token.size(), 40u);
  LoginPage("<!DOCTYPE html>\n<html>\n<head>\n  " + MetaLine(token) + "\n</head>\n");
  job.SignIn();

  ASSERT_EQ(web.calls.size(), 3u);
  EXPECT_EQ(web.calls[0].method, "GET");
  EXPECT_EQ(web.calls[0].target, kRoot + "/logout");
  EXPECT_EQ(web.calls[1].method, "GET");
  EXPECT_EQ(web.calls[1].target, kRoot + "/login");
  EXPECT_EQ(web.calls[2].method, "POST");
  EXPECT_EQ(web.calls[2].target, "/login");
  EXPECT_EQ(web.calls[2].body, "&_token=" + token + kRest);

  const std::vector<std::string> texts = {Utf8ToSjis("ページ内容の確認中1..."), Utf8ToSjis("ページ内容の確認中2...")};
  EXPECT_EQ(observer.statusTexts, texts);
  EXPECT_EQ(job.StatusText, texts[1]);
}

TEST_F(SignInTest, TokenMustFitTheWindowWithItsOpeningQuote) {
  const std::string fits(45, 'k');
  LoginPage(MetaLine(fits) + "\n");
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=" + fits + kRest);

  web.calls.clear();
  observer.statusTexts.clear();
  LoginPage(MetaLine(std::string(46, 'k')) + "\n");
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(observer.statusTexts.size(), 1u);
}

TEST_F(SignInTest, WindowCountsShiftJisBytes) {
  // Twenty kana: 60 bytes as the page sends them, 40 once converted, so the
  // opening quote is inside the window only because the line is converted first.
  std::string kana;
  for (int i = 0; i < 20; ++i) kana += "あ";
  LoginPage(MetaLine(kana) + "\n");
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=" + Utf8ToSjis(kana) + kRest);
}

TEST_F(SignInTest, BlanksAroundTheTokenAreTrimmed) {
  const std::string token(40, 'b');
  LoginPage(MetaLine(" " + token + " ") + "\n");
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=" + token + kRest);
}

TEST_F(SignInTest, ShortLineIsReadFromItsFirstQuote) {
  // The whole line fits the window, so the first quoted value is taken: the name.
  LoginPage(MetaLine("abc") + "\n");
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=csrf-token" + kRest);
}

TEST_F(SignInTest, NoCandidateMeansNoSecondTextAndNoPost) {
  LoginPage("<html>\n<meta name=\"viewport\" content=\"width=device-width\">\n</html>\n");
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(observer.statusTexts.size(), 1u);
  EXPECT_EQ(web.calls.size(), 2u);
}

TEST_F(SignInTest, EmptyTokenIsNotPosted) {
  LoginPage(MetaLine(std::string(44, ' ')) + "\n");
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
}

TEST_F(SignInTest, OnlyTheFirstCandidateIsLookedAt) {
  LoginPage("<meta name=\"csrf-token\" content=without-any-quotes-at-the-end-of-this-line>\n" + MetaLine("second") +
            "\n");
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
}

TEST_F(SignInTest, TagOverTwoLinesIsNoCandidate) {
  LoginPage("<meta\n    name=\"csrf-token\" content=\"tok\">\n");
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
}

TEST_F(SignInTest, FirstByteIsNotExamined) {
  LoginPage("  Xmeta csrf-token content=\"tok\">\n");  // short: the window is the whole line
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=tok" + kRest);
}

TEST_F(SignInTest, UnansweredLoginPageIsNeverReadAsTheEarlierPage) {
  // The sign-out page carries a token; the login page gets no answer. Its token
  // must not be taken from the page before.
  const std::string token = "fromlogout" + std::string(30, '0');
  web.bodies[kRoot + "/logout"] = MetaLine(token) + "\n";
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
  ASSERT_EQ(web.calls.size(), 2u);
  EXPECT_EQ(observer.statusTexts.size(), 1u);
}

TEST_F(SignInTest, CancelDuringTheSearchPreventsThePost) {
  LoginPage("<html>\n" + MetaLine("tok") + "\n");
  web.onCall = [&](const testing::RecordedCall& call) {
    if (call.target == kRoot + "/login") job.Terminate();
  };
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(observer.statusTexts.size(), 1u);
}

TEST_F(SignInTest, CancelBeforeThePostPreventsIt) {
  // The token sits on the first line, so the search itself never looks at the flag.
  LoginPage(MetaLine("tok") + "\n");
  web.onCall = [&](const testing::RecordedCall& call) {
    if (call.target == kRoot + "/login") job.Terminate();
  };
  job.SignIn();
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(job.SignInOutcome().State, SignInState::kNotTried);
}

// The member's own account goes into the same body in the same place, each value
// form-encoded as the keyword is; every other byte of the body stays.
TEST_F(SignInTest, OwnAccountIsFormEncodedIntoTheSameBody) {
  const std::string token(40, 't');
  LoginPage(MetaLine(token) + "\n");
  job.UseAccount(
      {SecretText(std::string_view("a&b=c+d e日本!$'()*-._@~%")), SecretText(std::string_view("p&w=1+2 パス"))});
  job.SignIn();
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].body, "&_token=" + token +
                                 "&bookmark=on&login_id=a%26b%3Dc%2Bd+e%E6%97%A5%E6%9C%AC!$'()*-._@%7E%25"
                                 "&password=p%26w%3D1%2B2+%E3%83%91%E3%82%B9&refererURL=" +
                                 kRoot + "/");
}

}  // namespace
}  // namespace vormla

namespace vormla {
namespace {

// What the sign-in makes of each answer: signed in only for a posted form
// answered 200 to 399; failed, with where, for everything else it can tell.
TEST(SignInStateTest, EachAnswerGivesItsState) {
  const std::string page = "<html>\n" + MetaLine("tok") + "\n";
  struct Case {
    std::string name;
    std::vector<testing::CannedAnswer> loginPage, form;
    SignInState state;
    SignInTrouble trouble;
    long status;
  };
  for (const Case& c : std::vector<Case>{
           {"signed in", {{200, page}}, {{302, ""}}, SignInState::kSignedIn, SignInTrouble::kNone, 0},
           {"form refused", {{200, page}}, {{500, "busy"}}, SignInState::kFailed, SignInTrouble::kFormRefused, 500},
           {"form unanswered", {{200, page}}, {{0, ""}}, SignInState::kFailed, SignInTrouble::kFormNotAnswered, 0},
           {"no token", {{200, "<html></html>\n"}}, {}, SignInState::kFailed, SignInTrouble::kNoToken, 200},
           {"login page 404", {{404, "gone"}}, {}, SignInState::kFailed, SignInTrouble::kLoginPageNotRead, 404},
           {"login page unanswered", {{0, ""}}, {}, SignInState::kFailed, SignInTrouble::kLoginPageNotRead, 0},
       }) {
    RecordingObserver observer;
    FakeWebAccess web;
    web.scripts[kRoot + "/login"] = c.loginPage;
    web.scripts["/login"] = c.form;
    RetrievalJob job(SearchConditions{}, {}, {}, observer, web, kRoot);
    job.SignIn();
    EXPECT_EQ(job.SignInOutcome().State, c.state) << c.name;
    EXPECT_EQ(job.SignInOutcome().Trouble, c.trouble) << c.name;
    EXPECT_EQ(job.SignInOutcome().Fetch.status, c.status) << c.name;
  }
}

}  // namespace
}  // namespace vormla
