// Picture URLs of an item page and their download into the item's folder.
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "engine/FolderProbe.h"
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

bool HasControlByte(const std::string& name) {
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return true;
  return false;
}

// A management number names one folder directly under the chosen one, so it may
// not climb out of it or reach into another folder.
bool IsSafeFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string::npos && !HasControlByte(name);
}

bool IsSafeFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('\\') == std::string::npos &&
         name.find('/') == std::string::npos;
}

// The file name of a picture: the last non-empty piece of the URL's path, that is
// of the URL cut before its query ("?") or fragment ("#").
std::string PictureFileName(const std::string& url) {
  StringList pieces;
  SplitText(std::string_view(url).substr(0, url.find_first_of("?#")), "/", pieces);
  return pieces.empty() ? std::string() : pieces.back();
}

// Anything at all at the path, a dangling link included, counts as there (as
// does a path that cannot even be looked at); error receives why no picture can
// go there.
bool PathTaken(const std::filesystem::path& path, int& error) {
  std::error_code ec;
  const bool taken = std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
  error = !taken ? 0 : ec ? ec.value() : EEXIST;
  return taken;
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
  const std::string pictures = TrimBlanks(Conditions.DirPath);
  const std::string& number = Record[column::kManagementNo];
  // The checks run on the name as it reaches the file system, so a 0x5C trail
  // byte of a double-byte character is no backslash here.
  const std::string folderName = SjisToUtf8(number);
  if (number.empty() || HasControlByte(number) || !IsSafeFolderName(folderName)) {
    return NotePicturesNotSaved(ImageUrls.size(), {PictureTrouble::kNoFolderName, pictures, folderName, 0, {}});
  }
  const std::filesystem::path folder = pictures + folderName + "/";

  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    // One level only: a missing image folder is not made up here.
    if (!std::filesystem::create_directory(folder, ec) || ec) {
      return NotePicturesNotSaved(ImageUrls.size(), {PictureTrouble::kFolderNotMade, folder.string(), {}, ec.value(), {}});
    }
  }

  for (size_t i = 0; i < ImageUrls.size(); ++i) {
    const std::string& url = ImageUrls[i];
    const std::string name = SjisToUtf8(PictureFileName(url));
    PictureFailure failure{PictureTrouble::kUnsafeFileName, folder.string(), name, 0, {}};
    bool saved = false;
    if (IsSafeFileName(name)) {
      const std::filesystem::path target = folder / name;
      if (int error = 0; PathTaken(target, error)) {
        saved = std::filesystem::is_regular_file(target, ec);  // the first one saved stays
        failure = {PictureTrouble::kNotWritten, folder.string(), name, error, {}};
      } else {
        failure.Fetch = Web.Download(BrowserUrl(SjisToUtf8(url)), target.string(), CancelFlag());
        saved = failure.Fetch.saved;
        // A refusal of the folder is told by the folder itself; the download only
        // knows that its file could not be made.
        failure.Trouble = failure.Fetch.failure == FetchFailure::kLocal ? PictureTrouble::kNotWritten
                                                                         : PictureTrouble::kNotDownloaded;
        if (failure.Trouble == PictureTrouble::kNotWritten) failure.Error = ProbeNewFile(folder.string());
      }
    }
    if (Terminated()) {
      // A cancel may have cut this download short; the item gets no row anyway.
      return;
    }
    if (!saved) NotePicturesNotSaved(1, std::move(failure));
  }
}

void RetrievalJob::NotePicturesNotSaved(size_t count, PictureFailure failure) {
  if (count == 0) return;
  picturesNotSaved_ += static_cast<int>(count);
  if (firstPictureFailure_.Trouble == PictureTrouble::kNone) firstPictureFailure_ = std::move(failure);
}

}  // namespace vormla
