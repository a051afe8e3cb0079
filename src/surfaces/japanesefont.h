#pragma once

#include <QString>

// The typeface all print uses: IPA Gothic from Debian's fonts, else the installed font
// fontconfig deems best for Japanese. One named family keeps Latin and kanji in the same face.
// Empty, with the reason, when no installed font can print Japanese.
QString japaneseFontFamily(QString *error);
