// Picture URLs of an item page and their download into the item's folder.
#include <filesystem>
#include <system_error>

#include "engine/PictureNames.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "web/UrlText.h"

namespace vormla {

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whole-text equality with ASCII letter case ignored; the trail byte of a
// double-byte character is compared as it is, never folded.
bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// Anything at all at the path, a dangling link included, counts as there.
bool PathTaken(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

}  // namespace

void RetrievalJob::CollectImageUrl(const std::string& line) {
  std::string t = Utf8ToSjis(TrimBlanks(line));
  // The URL is cut at the first colon of the line, whatever attribute holds it.
  const int p = FindText(":", t);
  if (p == 0) return;
  t = SliceText(t, p + 1, static_cast<int>(t.size()) - p);
  const int q = FindText("\"", t);
  if (q == 0) return;
  t = "https:" + SliceText(t, 1, q - 1);

  for (const std::string& known : ImageUrls)
    if (SameIgnoringCase(known, t)) return;
  ImageUrls.push_back(t);
  if (ImageCount < column::kImageCount) {
    Record[static_cast<size_t>(column::kFirstImage + ImageCount)] = t;
    ++ImageCount;
  }
}

void RetrievalJob::SaveItemImages() {
  if (!Conditions.ImgSave) return;
  // From here on every picture of the item is either on disk or counted.
  const auto notSaved = [this](size_t count) { picturesNotSaved_ += static_cast<int>(count); };
  const std::string& number = Record[column::kManagementNo];
  if (number.empty()) return notSaved(ImageUrls.size());

  // The checks run on the name as it reaches the file system, so a 0x5C trail
  // byte of a double-byte character is no backslash here.
  const std::string folderName = SjisToUtf8(number);
  if (HasControlByte(number) || !IsSafeFolderName(folderName)) return notSaved(ImageUrls.size());
  const std::filesystem::path folder = TrimBlanks(Conditions.DirPath) + folderName + "/";

  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    // One level only: a missing image folder is not made up here.
    if (!std::filesystem::create_directory(folder, ec) || ec) return notSaved(ImageUrls.size());
  }

  for (size_t i = 0; i < ImageUrls.size(); ++i) {
    const std::string& url = ImageUrls[i];
    const std::string name = SjisToUtf8(PictureFileName(url));
    bool saved = false;
    if (IsSafeFileName(name)) {
      const std::filesystem::path target = folder / name;
      if (PathTaken(target)) {
        saved = std::filesystem::is_regular_file(target, ec);  // the first one saved stays
      } else {
        saved = Web.Download(BrowserUrl(SjisToUtf8(url)), target.string(), CancelFlag()).saved;
      }
    }
    if (Terminated()) {
      // A cancel may have cut this download short; the item gets no row anyway.
      return;
    }
    if (!saved) notSaved(1);
  }
}

}  // namespace vormla
