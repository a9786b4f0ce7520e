// Every text a run shows, for the window and the command line alike (UTF-8).
// The window's long-standing texts stay word for word and come first; what this
// program adds (counts, causes, warnings) follows them.
#pragma once

#include <string>
#include <vector>

#include "run/RunReport.h"
#include "run/StartRules.h"

namespace vormla {

// Where a text is shown: the two differ only where the window keeps a long-standing
// text and the command line can say more.
enum class Face { kWindow, kCommandLine };

// The status text while a run gets going.
const std::string& StartingText();
// The first line when the user stopped a run.
const std::string& CancelledText();
// Said when a stop came before the run began, and the target stayed untouched.
const std::string& StoppedBeforeStartText();

// The window's closing message: its long-standing text and caption, then a blank line
// and the run's paragraph. Text is empty for a cancelled run, which ends silently.
struct EndMessage {
  std::string Caption;
  std::string Text;
};
EndMessage WindowEndMessage(const RunReport& report);

// What the command line says at the end of a run, one message per entry (each
// may span lines); it puts "vormla-cli: " before each.
std::vector<std::string> CommandLineEndMessages(const RunReport& report);

// Why a run did not start, for that face.
std::string StartRefusalText(const StartCheck& check, Face face);

// The window's result file error, with the file on a second line.
std::string ResultFileErrorText(const std::string& path);

// The counts of a run: rows written, pages not read, pictures not saved; the
// command line always names all three, the window the last two only when above
// zero.
std::string CountsText(const RunReport& report, Face face);
// The cause of the last failed fetch, with its URL (and the CA file in use for a
// certificate that was not trusted).
std::string CauseText(const RunReport& report);
// What went wrong with the sign-in and what to check; "" when nothing did.
std::string SignInWarning(const RunReport& report);
// The folder and cause of the first picture not saved; "" when all were saved.
std::string PictureFailureText(const RunReport& report);
// The first symbolic link where a picture or its folder was to go, when
// PictureFailureText does not name it already; "" otherwise.
std::string LinkText(const RunReport& report);

// A failed fetch in plain words.
std::string FetchWords(const FetchResult& result);
// A file system's refusal (an errno) in plain words.
std::string FileErrorWords(int error);

}  // namespace vormla
