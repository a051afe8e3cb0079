#pragma once

// Makes every window of the program Japanese whatever LANG says: Qt's own texts (message box
// buttons, the file dialog, the fields' context menus) from Qt's Japanese catalogue, and one
// proportional Japanese typeface for every widget, so no digit or kana falls back to a font of
// another width. Called by the window before it builds its controls; a second call does nothing.
void useJapaneseUi();
