// What a retrieval job is given when it starts and how it reports back.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "conditions/SearchConditions.h"

namespace vormla {

// The bytes of the result file: Shift-JIS by default, or the same rows in UTF-8
// after a byte-order mark for spreadsheet programs outside Japanese locales.
enum class ResultEncoding { kSjis, kUtf8 };

// Where a job writes its rows, and in which bytes.
struct ResultTarget {
  std::string Path;                                 // native (UTF-8) file-system path
  ResultEncoding Encoding = ResultEncoding::kSjis;  // of the file only: texts stay Shift-JIS
};

// One node of the category tree's flat list (top-level node, then its children).
struct CategoryNode {
  std::string Caption;  // " " + CT_Name, Shift-JIS
  std::string Code;     // the catalogue's code text, Shift-JIS, as stored
  int Level = 0;        // 0 top-level, 1 child
  int Parent = -1;      // index of the parent node, -1 for a top-level node
};

// One item's 36 CSV fields; column n at index n - 1.
constexpr int kColumnCount = 36;
using ItemRecord = std::array<std::string, kColumnCount>;

// What the job's owner learns as it runs. The window marshals every call to its
// GUI thread and blocks the worker until it has run; the command line prints.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  virtual void InitProgress(int categoryTotal) = 0;
  virtual void StepProgress() = 0;
  virtual void ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) = 0;
  virtual void ShowStatusText(const std::string& statusText) = 0;
  virtual void JobFinished() = 0;
};

// What a job found, once it has ended.
enum class ItemFoundCode {
  kNoItem,           // nothing written (or cancelled before the first row)
  kItemWritten,      // at least one row
  kFileError,        // the result file could not be created, written or closed
  kSiteUnreachable,  // no row, and a result or item page not read (or no fetch answered at all)
};

// The status label text of one item: "分類 : " + label + " - " + done + "/" + total + "件 取得中".
std::string ItemProgressText(const std::string& statusText, int itemDone, int itemTotal);

}  // namespace vormla
