// Picture URLs of an item page and their download into the item's folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/PictureNames.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "files/FolderProbe.h"
#include "text/AsciiCase.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

// A folder's descriptor, closed when it goes.
class FolderFd {
 public:
  explicit FolderFd(int fd) : fd_(fd) {}
  ~FolderFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderFd(const FolderFd&) = delete;
  FolderFd& operator=(const FolderFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool IsLinkAt(int folderFd, const std::string& name) {
  struct stat st {};
  return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// The item's folder under the picture folder, made when missing and opened
// without following a symbolic link at its name, so that nothing is written
// outside the picture folder. -1 with failure filled when that cannot be.
int OpenItemFolder(const std::string& pictures, const std::string& name, const std::string& folderPath,
                   PictureFailure& failure) {
  // The picture folder itself is the user's choice, a link or not.
  const FolderFd root(::open(pictures.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (root.get() < 0) {
    failure = {PictureTrouble::kFolderNotMade, folderPath, {}, errno, {}};
    return -1;
  }
  // One level only: a missing picture folder is not made up here.
  const int made = ::mkdirat(root.get(), name.c_str(), 0777) == 0 ? 0 : errno;
  const int fd = ::openat(root.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    RemoveDownloadLeftovers(fd);  // of a run that was killed while it saved this item's pictures
    return fd;
  }
  const int error = made != 0 ? made : errno;
  failure = IsLinkAt(root.get(), name) ? PictureFailure{PictureTrouble::kLink, folderPath, {}, 0, {}}
                                       : PictureFailure{PictureTrouble::kFolderNotMade, folderPath, {}, error, {}};
  return -1;
}

// One picture into the item's folder: true when it is there now (saved, or a
// file of its name was there already); failure says why not otherwise.
bool SavePicture(WebAccess& web, const std::atomic<bool>* cancel, int folderFd, const std::string& folderPath,
                 const std::string& url, PictureFailure& failure) {
  const std::string name = SjisToUtf8(PictureFileName(url));
  failure = {PictureTrouble::kUnsafeFileName, folderPath, name, 0, {}};
  if (!IsSafeFileName(name)) return false;
  struct stat st {};
  if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISREG(st.st_mode)) return true;  // the first one saved stays
    failure.Trouble = S_ISLNK(st.st_mode) ? PictureTrouble::kLink : PictureTrouble::kNotWritten;
    failure.Error = S_ISLNK(st.st_mode) ? 0 : EEXIST;
    return false;
  }
  if (errno != ENOENT) {
    failure = {PictureTrouble::kNotWritten, folderPath, name, errno, {}};
    return false;
  }
  failure.Fetch = web.Download(BrowserUrl(SjisToUtf8(url)), folderFd, name, cancel);
  if (failure.Fetch.saved) return true;
  // A refusal of the folder is told by the folder itself; the download only
  // knows that its file could not be made.
  const bool local = failure.Fetch.failure == FetchFailure::kLocal;
  failure.Trouble = local ? PictureTrouble::kNotWritten : PictureTrouble::kNotDownloaded;
  if (local) failure.Error = ProbeNewFileAt(folderFd);
  return false;
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

  // Two URLs equal but for the case of their letters are one picture. The keys
  // mirror ImageUrls; a list cleared for the next item starts them afresh.
  if (imageKeys_.size() != ImageUrls.size()) {
    imageKeys_.clear();
    for (const std::string& known : ImageUrls) imageKeys_.insert(SjisLowerAscii(known));
  }
  if (!imageKeys_.insert(SjisLowerAscii(t)).second) return;  // the first one met stays
  ImageUrls.push_back(t);
  if (ImageCount < column::kImageCount) {
    Record[static_cast<size_t>(column::kFirstImage + ImageCount)] = t;
    ++ImageCount;
  }
}

void RetrievalJob::SaveItemImages() {
  if (!Conditions.Pictures.On) return;
  // From here on every picture of the item is either on disk or counted.
  const std::string pictures = TrimBlanks(Conditions.Pictures.Folder);
  const std::string& number = Record[column::kManagementNo];
  // The checks run on the name as it reaches the file system, so a 0x5C trail
  // byte of a double-byte character is no backslash here.
  const std::string folderName = SjisToUtf8(number);
  if (number.empty() || HasControlByte(number) || !IsSafeFolderName(folderName)) {
    return NotePicturesNotSaved(ImageUrls.size(), {PictureTrouble::kNoFolderName, pictures, folderName, 0, {}});
  }
  const std::string folderPath = pictures + folderName + "/";
  PictureFailure failure;
  const FolderFd folder(OpenItemFolder(pictures, folderName, folderPath, failure));
  if (folder.get() < 0) return NotePicturesNotSaved(ImageUrls.size(), std::move(failure));

  for (const std::string& url : ImageUrls) {
    const bool saved = SavePicture(Web, CancelFlag(), folder.get(), folderPath, url, failure);
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
  if (failure.Trouble == PictureTrouble::kLink && firstLink_.Trouble == PictureTrouble::kNone) firstLink_ = failure;
  if (firstPictureFailure_.Trouble == PictureTrouble::kNone) firstPictureFailure_ = std::move(failure);
}

}  // namespace vormla
