// The files the viewer finds beside a result: the dated results and change
// reports of a watch folder, and the pictures saved for a row's item.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace vormla::results {

struct DatedFile {
  std::string Stamp;  // "YYYYMMDD-HHMMSS"
  std::string Path;
};

// The results (vormla-STAMP.csv) and change reports (changes-STAMP.csv) of a
// watch folder, oldest first: those its history records when it has one, else
// every file of those names. Other files are left out.
std::vector<DatedFile> ListResults(const std::string& folder);
std::vector<DatedFile> ListChangeReports(const std::string& folder);

// "2024-05-10 06:00:12" for "20240510-060012".
std::string StampText(const std::string& stamp);
// The moment of a stamp in local time, as watch wrote it.
std::time_t StampTime(const std::string& stamp);

// Where a result's pictures are: the folder "pictures" beside it when there is
// one (a watch folder), else the result's own folder (run --images into the
// folder of the result). No trailing "/".
std::string PictureRoot(const std::string& resultPath);
// root/number/<file name of url>, or "" when the number or the URL gives no
// file name a picture could have been saved under.
std::string PicturePath(const std::string& root, std::string_view number, std::string_view url);

}  // namespace vormla::results
