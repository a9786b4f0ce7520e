// The engine's sign-in over the real HTTP stack against the demo market.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DemoTestKit.h"

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class SignInIntegrationTest : public DemoTest {
 protected:
  // A job that is only asked to sign in and fetch.
  std::unique_ptr<RetrievalJob> Job() {
    return std::make_unique<RetrievalJob>(SearchConditions{}, std::vector<CategoryNode>{}, ResultTarget{}, observer_,
                                          NetworkWebAccess(), Root());
  }
  RecordingObserver observer_;
};

TEST_F(SignInIntegrationTest, SessionCookieOfTheLoginReachesLaterFetches) {
  auto job = Job();
  job->SignIn();

  const auto attempts = Market().LoginAttempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_TRUE(attempts[0].accepted) << attempts[0].reason;

  std::string page;
  job->FetchPage(Root() + PlainTarget("3003"), page);
  EXPECT_THAT(page, HasSubstr("卸価格&nbsp;"));
  const auto requests = Market().Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_TRUE(requests.back().signedIn);
  EXPECT_THAT(requests.back().Header("Cookie"), HasSubstr(std::string(demo::kSessionCookie) + "="));
  ASSERT_EQ(Market().Searches().size(), 1u);
  EXPECT_TRUE(Market().Searches()[0].signedIn);
}

TEST_F(SignInIntegrationTest, EveryJobSignsOutFirstAndAJobWithoutTokenStaysAVisitor) {
  // A first job signs in ...
  auto first = Job();
  first->SignIn();
  ASSERT_TRUE(Market().LoginAttempts().at(0).accepted);

  // ... the next one's login page carries no token, so it posts nothing, and its
  // sign-out has ended the earlier session.
  Market().SetRoute("/login",
                    {200,
                     "text/html; charset=UTF-8",
                     "<html>\n<head>\n<meta charset=\"UTF-8\">\n</head>\n<body>メンテナンス中</body>\n</html>\n",
                     {}});
  Market().ClearRecords();
  SearchConditions c;
  c.SelectedCategories = "1,";
  const auto rows = RunJob(c, Tree("ペット", "5", {{"猫用品", "5050"}}), scratch_ / "visitor.csv");

  EXPECT_TRUE(Market().LoginAttempts().empty());
  for (const auto& request : Market().Requests()) EXPECT_NE(request.method, "POST");
  ASSERT_EQ(Market().Searches().size(), 1u);
  EXPECT_FALSE(Market().Searches()[0].signedIn);
  const auto expected = Market().ExpectedRunRows({"ペット > 猫用品"});
  ExpectRows(rows, expected);
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_EQ(row[8], "卸価格は非公開");
}

TEST_F(SignInIntegrationTest, PostedFormIsExactlyTheLoginForm) {
  auto job = Job();
  job->SignIn();
  const auto requests = Market().Requests();
  const auto post = std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "POST"; });
  ASSERT_NE(post, requests.end());
  const auto login = std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.target == "/login"; });
  ASSERT_NE(login, requests.end());
  EXPECT_EQ(post->target, "/login");
  EXPECT_EQ(post->version, "HTTP/1.0");
  EXPECT_EQ(post->Header("Content-Type"), "application/x-www-form-urlencoded");
  // Without an account file: the built-in account, byte for byte.
  ASSERT_GE(post->body.size(), 48u);
  const std::string token = post->body.substr(8, 40);
  EXPECT_EQ(post->body,
            "&_token=" + token + "&bookmark=on&login_id=pelorint58&password=quastel74&refererURL=" + Root() + "/");
  EXPECT_EQ(Market().LoginAttempts().at(0).loginId, "pelorint58");
}

TEST_F(SignInIntegrationTest, OwnAccountSignsInWithItsValuesFormEncoded) {
  const std::string loginId = "a&b=c+d e日本";
  const std::string password = "p&w=1+2 パス";
  Market().AcceptAccount(loginId, password);
  auto job = Job();
  job->UseAccount({SecretText(loginId), SecretText(password)});
  job->SignIn();

  const auto attempts = Market().LoginAttempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_TRUE(attempts[0].accepted) << attempts[0].reason;
  EXPECT_EQ(attempts[0].loginId, loginId);
  const auto requests = Market().Requests();
  const auto post = std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "POST"; });
  ASSERT_NE(post, requests.end());
  const std::string token = post->body.substr(8, 40);
  EXPECT_EQ(post->body, "&_token=" + token +
                            "&bookmark=on&login_id=a%26b%3Dc%2Bd+e%E6%97%A5%E6%9C%AC"
                            "&password=p%26w%3D1%2B2+%E3%83%91%E3%82%B9&refererURL=" +
                            Root() + "/");

  // The market shows wholesale prices to signed-in members only.
  std::string page;
  job->FetchPage(Root() + PlainTarget("3003"), page);
  EXPECT_THAT(page, HasSubstr("卸価格&nbsp;"));
  ASSERT_EQ(Market().Searches().size(), 1u);
  EXPECT_TRUE(Market().Searches()[0].signedIn);
}

TEST_F(SignInIntegrationTest, AccountTheSiteDoesNotKnowStaysAVisitor) {
  auto job = Job();
  job->UseAccount({SecretText(std::string_view("pelorint58")), SecretText(std::string_view("wrong password"))});
  job->SignIn();
  const auto attempts = Market().LoginAttempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_FALSE(attempts[0].accepted);
  EXPECT_EQ(attempts[0].reason, "no such account");

  std::string page;
  job->FetchPage(Root() + PlainTarget("3003"), page);
  EXPECT_THAT(page, Not(HasSubstr("卸価格&nbsp;")));
  ASSERT_EQ(Market().Searches().size(), 1u);
  EXPECT_FALSE(Market().Searches()[0].signedIn);
}

}  // namespace
}  // namespace vormla::testing
