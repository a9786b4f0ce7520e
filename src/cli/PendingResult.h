// vormla-cli's result file: written under a temporary name in the target's
// folder and put in place only when the run has a result, so a run that reaches
// nothing, or cannot write, leaves the previous file as it was.
#pragma once

#include <string>

namespace vormla::cli {

class PendingResult {
 public:
  // Creates the temporary file. Throws CliFailure(kExitFileError): with the
  // window's in-use words when a folder stands at target, with the result file
  // words (naming target) when the folder takes no new file.
  explicit PendingResult(std::string target);
  // Removes the temporary file unless it was put in place.
  ~PendingResult();
  PendingResult(const PendingResult&) = delete;
  PendingResult& operator=(const PendingResult&) = delete;

  const std::string& Target() const { return target_; }
  const std::string& TemporaryPath() const { return temporary_; }

  // Puts the temporary file at target, replacing what stood there. False when
  // that fails; the temporary file is gone either way.
  bool Commit();
  // Drops the temporary file; target stays as it was.
  void Discard();

 private:
  std::string target_;
  std::string temporary_;
};

}  // namespace vormla::cli
