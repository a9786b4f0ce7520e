// A file written under a private temporary name beside its target and put in
// place only when there is something to put there, so that a run that ends with
// nothing leaves the previous file exactly as it was.
//
// The temporary file ".vormla-run-XXXXXX" is locked (flock) for its whole life.
// A process that is killed leaves it behind unlocked; the next one in that folder
// removes such leftovers, never one that a live process holds, and never reads
// them.
#pragma once

#include <string>

namespace vormla {

class PendingResult {
 public:
  // Removes the folder's leftovers, then creates and locks the temporary file.
  // Ready() tells whether that worked; Error() is the errno when it did not.
  explicit PendingResult(std::string target);
  // Removes the temporary file unless it was put in place.
  ~PendingResult();
  PendingResult(const PendingResult&) = delete;
  PendingResult& operator=(const PendingResult&) = delete;

  bool Ready() const { return fd_ >= 0; }
  int Error() const { return error_; }
  const std::string& Target() const { return target_; }
  const std::string& TemporaryPath() const { return temporary_; }

  // Puts the temporary file at target, replacing what stood there. False when
  // that fails; the temporary file is gone either way.
  bool Commit();
  // Drops the temporary file; target stays as it was.
  void Discard();

 private:
  void Release();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;  // holds the lock
  int error_ = 0;
};

// Removes the temporary files of runs that no longer live from folder; returns
// how many went.
int RemoveLeftovers(const std::string& folder);

}  // namespace vormla
