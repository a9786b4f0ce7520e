// Application-wide preparation shared by the program and the window tests.
#pragma once

class QApplication;

namespace vormla {

// The Japanese Windows fonts the window asks for resolve to the IPA fonts
// (fontconfig knows no alias for them and would fall back to a Latin font).
void RegisterFontSubstitutions();
// Qt's own Japanese texts (はい / いいえ on the message box buttons).
void LoadJapaneseTranslation(QApplication& app);
// Title, desktop entry name, fonts and translation.
void PrepareApplication(QApplication& app);

}  // namespace vormla
