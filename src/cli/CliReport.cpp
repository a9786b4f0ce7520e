#include "cli/CliReport.h"

#include <sys/stat.h>

namespace vormla::cli {

namespace {

std::string Words(const FetchResult& result) {
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

}  // namespace

std::string CountsLine(int rowsWritten, int pagesNotRead, int picturesNotSaved) {
  return "vormla-cli: 書き込んだ行 " + std::to_string(rowsWritten) + "、読めなかったページ " +
         std::to_string(pagesNotRead) + "、保存できなかった画像 " + std::to_string(picturesNotSaved);
}

std::string CauseLine(const std::string& url, const FetchResult& result, const std::string& caFile) {
  std::string line = "vormla-cli: 原因: " + Words(result);
  if (!url.empty()) line += " (" + url + ")";
  if (!result.answered && result.failure == FetchFailure::kCertificate) {
    struct stat st {};
    if (caFile.empty()) {
      line += "。VORMLA_CA_FILE は設定されていません (システムの証明書だけで確かめました)";
    } else if (::stat(caFile.c_str(), &st) != 0) {
      line += "。VORMLA_CA_FILE=" + caFile + " (このファイルはありません)";
    } else {
      line += "。VORMLA_CA_FILE=" + caFile;
    }
  }
  return line;
}

}  // namespace vormla::cli
