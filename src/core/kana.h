#pragma once

#include <QString>

// Full-width hiragana to full-width katakana, one character for one, so a cursor stays where
// it was: ぁ..ゖ (ゔ included) and the iteration marks ゝゞ. Everything else is left as it is.
QString hiraganaToKatakana(const QString &text);
