#include "results/FolderFiles.h"

#include <algorithm>
#include <filesystem>

#include "engine/PictureNames.h"
#include "run/WatchFolder.h"
#include "run/WatchHistory.h"

namespace vormla::results {

namespace {

bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::vector<DatedFile> Dated(const std::string& folder, const std::string& prefix) {
  std::vector<DatedFile> files;
  const HistoryReading reading = ReadWatchHistory(folder);
  if (reading.Found == HistoryReading::State::kRead) {
    // What the watch recorded, in the order it made them.
    for (const WatchRecord& record : reading.History.Records) {
      const std::string& name = prefix == kResultPrefix ? record.Result : record.Report;
      const auto stamp = StampOf(name, prefix);
      const std::filesystem::path path = std::filesystem::path(folder) / name;
      if (stamp && IsRegularFile(path)) files.push_back({*stamp, path.string()});
    }
    return files;
  }
  // A folder from before histories, or one whose history is damaged: its dated files.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!IsRegularFile(entry.path())) continue;
    if (const auto stamp = StampOf(entry.path().filename().string(), prefix)) {
      files.push_back({*stamp, entry.path().string()});
    }
  }
  std::sort(files.begin(), files.end(), [](const DatedFile& a, const DatedFile& b) { return a.Stamp < b.Stamp; });
  return files;
}

}  // namespace

std::vector<DatedFile> ListResults(const std::string& folder) { return Dated(folder, kResultPrefix); }

std::vector<DatedFile> ListChangeReports(const std::string& folder) { return Dated(folder, kChangesPrefix); }

std::string StampText(const std::string& stamp) {
  if (stamp.size() != 15) return stamp;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(9, 2) + ":" +
         stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

std::time_t StampTime(const std::string& stamp) { return StampMoment(stamp).value_or(0); }

std::string PictureRoot(const std::string& resultPath) {
  const std::filesystem::path folder = std::filesystem::path(resultPath).parent_path();
  std::error_code error;
  const std::filesystem::path pictures = folder / "pictures";
  if (std::filesystem::is_directory(pictures, error)) return pictures.string();
  return folder.empty() ? "." : folder.string();
}

std::string PicturePath(const std::string& root, std::string_view number, std::string_view url) {
  const std::string folder(number);
  const std::string name = PictureFileName(std::string(url));
  if (url.empty() || !IsSafeFolderName(folder) || !IsSafeFileName(name)) return "";
  return root + "/" + folder + "/" + name;
}

}  // namespace vormla::results
