#include "run/RunTexts.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "engine/RetrievalJob.h"

namespace vormla {

namespace {

// The window's long-standing texts, word for word.
constexpr const char* kCompleteText = "商品情報の取得が完了しました。";
constexpr const char* kOpenQuestion = "保存したファイルを開きますか？";
constexpr const char* kNothingFoundText = "該当する商品情報は見つかりませんでした。";
constexpr const char* kUnreachableText =
    "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。";
constexpr const char* kFileErrorText = "結果ファイルに書き込めませんでした。";
constexpr const char* kInUseText = "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。";
constexpr const char* kPictureFolderMissingText = "指定された商品画像保存フォルダが見つかりません。";

std::string RowsText(const RunReport& report) { return report.Target + " (" + std::to_string(report.RowsKept) + "件)"; }

// The sign-in warning belongs to the runs whose rows it casts doubt on.
bool WarnsAboutSignIn(RunOutcome outcome) {
  return outcome == RunOutcome::kComplete || outcome == RunOutcome::kNothingFound ||
         outcome == RunOutcome::kCancelledWithRows;
}

std::string SignInTroubleText(const RunReport& report) {
  const SignInReport& signIn = report.SignIn;
  if (signIn.State == SignInState::kDoubtful) {
    return "サインインできていないようです: 書き込んだ " + std::to_string(report.RowsKept) + " 行すべての卸価格が「" +
           SjisToUtf8(NoWholesalePriceText()) + "」です。";
  }
  switch (signIn.Trouble) {
    case SignInTrouble::kLoginPageNotRead:
      return "サインインできませんでした: ログインページを読めませんでした (" + FetchWords(signIn.Fetch) + ")。";
    case SignInTrouble::kNoToken:
      return "サインインできませんでした: ログインページに CSRF トークンがありませんでした。";
    case SignInTrouble::kFormNotAnswered:
      return "サインインできませんでした: ログインフォームの送信に応答がありませんでした (" + FetchWords(signIn.Fetch) +
             ")。";
    case SignInTrouble::kFormRefused:
      return "サインインできませんでした: ログインフォームの送信に HTTP ステータス " +
             std::to_string(signIn.Fetch.status) + " が返されました。";
    case SignInTrouble::kNone:
      break;
  }
  return "サインインできませんでした。";
}

std::string PictureCause(const PictureFailure& failure) {
  switch (failure.Trouble) {
    case PictureTrouble::kNoFolderName:
      return failure.Name.empty() ? std::string("商品管理番号がないためフォルダを作れません")
                                  : "商品管理番号「" + failure.Name + "」はフォルダ名に使えません";
    case PictureTrouble::kFolderNotMade:
      return "フォルダを作れません: " + FileErrorWords(failure.Error);
    case PictureTrouble::kUnsafeFileName:
      return "画像のファイル名「" + failure.Name + "」は使えません";
    case PictureTrouble::kNotWritten:
      return failure.Name +
             " を書き込めません: " + (failure.Error != 0 ? FileErrorWords(failure.Error) : FetchWords(failure.Fetch));
    case PictureTrouble::kNotDownloaded:
      return failure.Name + " を取得できません: " + FetchWords(failure.Fetch);
    case PictureTrouble::kLink:
      return (failure.Name.empty() ? std::string("フォルダ") : failure.Name + " ") +
             "がシンボリックリンクのため、リンク先には書き込みません";
    case PictureTrouble::kNone:
      break;
  }
  return {};
}

}  // namespace

const std::string& StartingText() {
  static const std::string text = "ページ情報を取得中です。しばらくお待ちください。";
  return text;
}

const std::string& CancelledText() {
  static const std::string text = "取得処理を中断しました。";
  return text;
}

const std::string& StoppedBeforeStartText() {
  static const std::string text = "開始前に中断したため、結果ファイルには手を付けていません。";
  return text;
}

std::string ResultFileErrorText(const std::string& path) { return std::string(kFileErrorText) + "\n" + path; }

EndMessage WindowEndMessage(const RunReport& report) {
  EndMessage message;
  switch (report.Outcome) {
    case RunOutcome::kComplete:
      message = {"処理確認", std::string(kCompleteText) + "\n" + kOpenQuestion};
      break;
    case RunOutcome::kNothingFound:
      message = {"検索終了", kNothingFoundText};
      break;
    case RunOutcome::kSiteUnreachable:
      message = {"Error", kUnreachableText};
      break;
    case RunOutcome::kFileError:
      message = {"Error", ResultFileErrorText(report.Target)};
      break;
    case RunOutcome::kCancelledWithRows:
    case RunOutcome::kCancelledBeforeFirstRow:
      return message;
  }
  message.Text += "\n\n" + CountsText(report, Face::kWindow);
  if (report.Outcome == RunOutcome::kSiteUnreachable) message.Text += "\n" + CauseText(report);
  for (const std::string& line : {SignInWarning(report), PictureFailureText(report), LinkText(report)}) {
    if (!line.empty()) message.Text += "\n" + line;
  }
  return message;
}

std::vector<std::string> CommandLineEndMessages(const RunReport& report) {
  std::vector<std::string> messages;
  switch (report.Outcome) {
    case RunOutcome::kComplete:
      messages = {std::string(kCompleteText) + "\n" + RowsText(report)};
      break;
    case RunOutcome::kNothingFound:
      messages = {std::string(kNothingFoundText) + "\n" + report.Target};
      break;
    case RunOutcome::kCancelledWithRows:
      messages = {CancelledText() + "\n" + RowsText(report)};
      break;
    case RunOutcome::kCancelledBeforeFirstRow:
      messages = {CancelledText(), "最初の行を書く前に中断したため、結果ファイルには手を付けていません。"};
      break;
    case RunOutcome::kSiteUnreachable:
      messages = {kUnreachableText, CauseText(report)};
      break;
    case RunOutcome::kFileError:
      messages = {ResultFileErrorText(report.Target)};
      break;
  }
  for (const std::string& line : {SignInWarning(report), PictureFailureText(report), LinkText(report)}) {
    if (!line.empty()) messages.push_back(line);
  }
  messages.push_back(CountsText(report, Face::kCommandLine));
  return messages;
}

std::string StartRefusalText(const StartCheck& check, Face face) {
  const bool window = face == Face::kWindow;
  switch (check.Refusal) {
    case StartRefusal::kPictureFolderMissing:
      return window ? std::string(kPictureFolderMissingText)
                    : std::string(kPictureFolderMissingText) + "\n" + check.Path;
    case StartRefusal::kPictureFolderUnwritable:
      return "商品画像保存フォルダ " + check.Path + " に画像を保存できません (" + FileErrorWords(check.Error) +
             ")。別のフォルダを指定するか、このフォルダに書き込めるようにしてください。";
    case StartRefusal::kAccountRefused:
      return check.Message;
    case StartRefusal::kOutputIsFolder:
      if (window) return kInUseText;
      return "--output の " + check.Path + " はフォルダです。その中のファイル名を指定してください (例: " + check.Path +
             "/result.csv)。";
    case StartRefusal::kOutputNotRegular:
      if (window) return kInUseText;
      return "--output の " + check.Path +
             " はファイルではありません (デバイスなど)。結果を書くファイルの名前を指定してください。";
    case StartRefusal::kOutputFolderMissing:
      if (window) return ResultFileErrorText(check.Target);
      return "結果ファイルの保存先フォルダ " + check.Path +
             " がありません。先にフォルダを作るか、--output に今あるフォルダの中のファイルを指定してください。";
    case StartRefusal::kOutputFolderNotFolder:
      if (window) return ResultFileErrorText(check.Target);
      return "結果ファイルの保存先 " + check.Path + " はフォルダではありません。--output を確かめてください。";
    case StartRefusal::kNone:
      break;
  }
  return {};
}

std::string CountsText(const RunReport& report, Face face) {
  const bool all = face == Face::kCommandLine;
  std::string text = "書き込んだ行 " + std::to_string(report.RowsKept);
  if (all || report.PagesNotRead > 0) text += "、読めなかったページ " + std::to_string(report.PagesNotRead);
  if (all || report.PicturesNotSaved > 0) text += "、保存できなかった画像 " + std::to_string(report.PicturesNotSaved);
  return text;
}

std::string CauseText(const RunReport& report) {
  std::string line = "原因: " + FetchWords(report.Failure);
  if (!report.FailedUrl.empty()) line += " (" + report.FailedUrl + ")";
  if (!report.Failure.answered && report.Failure.failure == FetchFailure::kCertificate) {
    struct stat st {};
    if (report.CaFile.empty()) {
      line += "。VORMLA_CA_FILE は設定されていません (システムの証明書だけで確かめました)";
    } else if (::stat(report.CaFile.c_str(), &st) != 0) {
      line += "。VORMLA_CA_FILE=" + report.CaFile + " (このファイルはありません)";
    } else {
      line += "。VORMLA_CA_FILE=" + report.CaFile;
    }
  }
  return line;
}

std::string SignInWarning(const RunReport& report) {
  const SignInState state = report.SignIn.State;
  if ((state != SignInState::kFailed && state != SignInState::kDoubtful) || !WarnsAboutSignIn(report.Outcome))
    return {};
  const std::string check =
      report.OwnAccount ? "アカウントファイル " + report.AccountPath +
                              " のログインIDとパスワードを確かめてください (vormla-cli account show で表示できます)。"
                        : "アカウントファイル " + report.AccountPath +
                              " がないため組み込みのアカウントを使いました。自分のアカウントは vormla-cli account set "
                              "で設定し、vormla-cli account show で確かめられます。";
  return SignInTroubleText(report) + "卸価格は会員にしか表示されません。" + check;
}

std::string PictureFailureText(const RunReport& report) {
  const PictureFailure& failure = report.FirstPictureFailure;
  if (failure.Trouble == PictureTrouble::kNone) return {};
  return "画像を保存できませんでした: " + failure.Folder + " (" + PictureCause(failure) + ")";
}

std::string LinkText(const RunReport& report) {
  const PictureFailure& link = report.FirstLink;
  const PictureFailure& first = report.FirstPictureFailure;
  if (link.Trouble == PictureTrouble::kNone || (link.Folder == first.Folder && link.Name == first.Name)) return {};
  return "画像を保存できませんでした: " + link.Folder + " (" + PictureCause(link) + ")";
}

std::string FetchWords(const FetchResult& result) {
  if (result.answered) return "HTTP ステータス " + std::to_string(result.status) + " が返されました";
  switch (result.failure) {
    case FetchFailure::kNotHttps:
      return "https 以外のアドレスへ向かうため取得しませんでした";
    case FetchFailure::kCertificate:
      return "サーバー証明書を信頼できません";
    case FetchFailure::kTls:
      return "暗号化した接続 (TLS) を確立できませんでした";
    case FetchFailure::kHostNotFound:
      return "ホスト名が見つかりません";
    case FetchFailure::kRefused:
      return "接続を拒否されました";
    case FetchFailure::kUnreachable:
      return "サーバーに接続できませんでした";
    case FetchFailure::kTimedOut:
      return "時間切れになりました";
    case FetchFailure::kDropped:
      return "応答が終わる前に接続が切れました";
    case FetchFailure::kRedirectLoop:
      return "転送 (リダイレクト) が多すぎます";
    case FetchFailure::kBadAnswer:
      return "サーバーの応答を読み取れませんでした";
    case FetchFailure::kCancelled:
      return "中断しました";
    case FetchFailure::kNone:
    case FetchFailure::kLocal:
    case FetchFailure::kOther:
      break;
  }
  return "取得できませんでした" + (result.detail.empty() ? std::string() : " (" + result.detail + ")");
}

std::string FileErrorWords(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "書き込む権限がありません";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case ENOSPC:
    case EDQUOT:
      return "空き容量がありません";
    case ENOTDIR:
      return "途中にフォルダでないものがあります";
    case ENOENT:
      return "フォルダがありません";
    case ENAMETOOLONG:
      return "名前が長すぎます";
    case EEXIST:
      return "同じ名前のものがすでにあります";
    case EISDIR:
      return "同じ名前のフォルダがあります";
    case 0:
      return "書き込めませんでした";
    default:
      return std::strerror(error);
  }
}

}  // namespace vormla
