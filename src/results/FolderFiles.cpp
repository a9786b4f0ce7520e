#include "results/FolderFiles.h"

#include <algorithm>
#include <filesystem>

#include "cli/CliWatch.h"
#include "engine/PictureNames.h"

namespace vormla::results {

namespace {

// The prefixes of ResultName and ChangesName.
constexpr const char* kResultPrefix = "vormla-";
constexpr const char* kChangesPrefix = "changes-";

std::vector<DatedFile> Dated(const std::string& folder, const std::string& prefix) {
  std::vector<DatedFile> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code ignored;
    if (!entry.is_regular_file(ignored)) continue;
    if (const auto stamp = cli::StampOf(entry.path().filename().string(), prefix)) {
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

std::time_t StampTime(const std::string& stamp) {
  std::tm local{};
  if (stamp.size() != 15) return 0;
  local.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
  local.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
  local.tm_mday = std::stoi(stamp.substr(6, 2));
  local.tm_hour = std::stoi(stamp.substr(9, 2));
  local.tm_min = std::stoi(stamp.substr(11, 2));
  local.tm_sec = std::stoi(stamp.substr(13, 2));
  local.tm_isdst = -1;
  return std::mktime(&local);
}

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
