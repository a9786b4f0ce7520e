// Picture URLs of an item page and their download into the item's folder.
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "engine/FolderProbe.h"
#include "engine/PictureNames.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "web/Cp932.h"
#include "web/UrlText.h"

namespace vormla {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Two picture URLs are one picture when their keys are equal: ASCII letters are
// lowered, the trail byte of a double-byte character is kept as it is (0x83 0x41
// is ア, not "a").
std::string CaseFoldedKey(const std::string& url) {
  std::string key(url);
  for (size_t i = 0; i < key.size(); ++i) {
    if (cp932::IsLeadByte(static_cast<unsigned char>(key[i])) && i + 1 < key.size()) {
      ++i;
    } else {
      key[i] = LowerAscii(key[i]);
    }
  }
  return key;
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

  // The keys mirror ImageUrls; a list cleared for the next item starts them afresh.
  if (imageKeys_.size() != ImageUrls.size()) {
    imageKeys_.clear();
    for (const std::string& known : ImageUrls) imageKeys_.insert(CaseFoldedKey(known));
  }
  if (!imageKeys_.insert(CaseFoldedKey(t)).second) return;  // the first one met stays
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
