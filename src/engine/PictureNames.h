// Where a saved picture lives: item folder = picture folder + management number,
// file = the last piece of the picture's URL. The engine saves by these rules and
// the results viewer finds the pictures again by them.
#pragma once

#include <string>

namespace vormla {

// A byte below 0x20 anywhere in name.
bool HasControlByte(const std::string& name);
// A management number names one folder directly under the chosen one, so it may
// not climb out of it or reach into another folder.
bool IsSafeFolderName(const std::string& name);
bool IsSafeFileName(const std::string& name);
// The file name of a picture: the last non-empty piece of the URL's path, that is
// of the URL cut before its query ("?") or fragment ("#").
std::string PictureFileName(const std::string& url);

}  // namespace vormla
