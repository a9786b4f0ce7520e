// Signing in afresh at the start of every job: sign out, read the login page's
// CSRF token, post the login form. The session lives on in the cookie jar.
#include "engine/PageView.h"
#include "engine/RetrievalJob.h"
#include "text/SjisLiteral.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

constexpr const char* kLoginId = "pelorint58";
constexpr const char* kPassword = "quastel74";
constexpr int kSignInPause = 500;
// On the meta line the token is the last attribute's value; the tail of the line
// this long reaches back past the value's opening quote.
constexpr size_t kTokenWindow = 48;

// The token of a candidate line, or "" when its tail lacks the two quotes.
std::string TokenOfLine(std::string_view trimmedLine) {
  std::string window = Utf8ToSjis(trimmedLine);
  if (window.size() > kTokenWindow) window = window.substr(window.size() - kTokenWindow);
  const int open = FindText("\"", window);
  if (open == 0) return {};
  const std::string rest = SliceText(window, open + 1, static_cast<int>(window.size()) - open);
  const int close = FindText("\"", rest);
  if (close == 0) return {};
  return TrimBlanks(SliceText(rest, 1, close - 1));
}

// What the answer to the login form says about the sign-in.
SignInReport SignInOfAnswer(const FetchResult& posted) {
  if (!posted.answered) return {SignInState::kFailed, SignInTrouble::kFormNotAnswered, posted};
  if (posted.status >= 400) return {SignInState::kFailed, SignInTrouble::kFormRefused, posted};
  return {SignInState::kSignedIn, SignInTrouble::kNone, {}};
}

}  // namespace

void RetrievalJob::SignIn() {
  std::string token;
  std::string page;
  signIn_ = {};

  FetchPage(SiteRoot + "/logout", page);
  Pause(kSignInPause);

  StatusText = SjisLiteral<"ページ内容の確認中1...">();
  Observer.ShowStatusText(StatusText);

  const FetchResult loginPage = FetchPage(SiteRoot + "/login", page);
  Pause(kSignInPause);

  const PageView lines(page);
  for (size_t n = 0; n < lines.Count(); ++n) {
    const std::string_view line = lines[n];
    const std::string_view trimmed = TrimView(line);
    // The first byte is not looked at: "<meta" and " meta" alike.
    if (HasMarkerAt(trimmed, 2, "met") && FindText("csrf-token", line) > 0) {
      token = TokenOfLine(trimmed);
      break;  // only the first candidate counts, token or not
    }
    if (Terminated()) break;
  }

  // A stop meanwhile leaves the sign-in untried rather than failed.
  if (Terminated()) return;
  if (token.empty()) {
    const bool unread = !loginPage.answered || loginPage.status >= 400;
    signIn_ = {SignInState::kFailed, unread ? SignInTrouble::kLoginPageNotRead : SignInTrouble::kNoToken, loginPage};
    return;
  }

  StatusText = SjisLiteral<"ページ内容の確認中2...">();
  Observer.ShowStatusText(StatusText);
  std::string body = LoginFormBody(token);
  std::string answer;  // nothing in it is read; the session lives on in the cookies
  const FetchResult posted = PostPage(body, "/login", answer);
  WipeString(body);
  if (posted.failure != FetchFailure::kCancelled) signIn_ = SignInOfAnswer(posted);
  Pause(kSignInPause);
}

std::string RetrievalJob::LoginFormBody(const std::string& token) const {
  const bool own = !account_.LoginId.Empty();
  const std::string_view loginId = own ? account_.LoginId.View() : std::string_view(kLoginId);
  const std::string_view password = own ? account_.Password.View() : std::string_view(kPassword);
  constexpr std::string_view kTokenKey = "&_token=";
  constexpr std::string_view kLoginKey = "&bookmark=on&login_id=";
  constexpr std::string_view kPasswordKey = "&password=";
  constexpr std::string_view kRefererKey = "&refererURL=";
  // Room for every value encoded at its longest, so the text is never moved to a
  // bigger buffer, which would leave the password behind in the old one.
  std::string body;
  body.reserve(kTokenKey.size() + token.size() + kLoginKey.size() + 3 * loginId.size() + kPasswordKey.size() +
               3 * password.size() + kRefererKey.size() + SiteRoot.size() + 1);
  body += kTokenKey;
  body += token;
  body += kLoginKey;
  // The built-in values go in as they are; the member's own are form-encoded.
  if (own)
    AppendFormEncoded(loginId, body);
  else
    body += loginId;
  body += kPasswordKey;
  if (own)
    AppendFormEncoded(password, body);
  else
    body += password;
  body += kRefererKey;
  body += SiteRoot;
  body += '/';
  return body;
}
}  // namespace vormla
