// The closing lines of a vormla-cli run that go beyond the window's messages:
// what the run achieved in numbers, and why a site could not be read.
#pragma once

#include <string>

#include "web/HttpFetch.h"

namespace vormla::cli {

// "vormla-cli: 書き込んだ行 N、読めなかったページ M、保存できなかった画像 K"
std::string CountsLine(int rowsWritten, int pagesNotRead, int picturesNotSaved);

// The cause of a failed fetch in plain words, with its URL: "vormla-cli: 原因: ...".
// A certificate problem also names the VORMLA_CA_FILE in use (caFile, "" when
// none is set).
std::string CauseLine(const std::string& url, const FetchResult& result, const std::string& caFile);

}  // namespace vormla::cli
