#pragma once

class QWidget;

// Applies the "inputMode" property that the form gives each text field:
//  "off"       the input method is disabled, only direct half-width input reaches the field;
//  "hiragana"  the input method stays on;
//  "katakana"  the input method stays on and committed hiragana turns into katakana, since no
//              input method can be told to switch to katakana.
void applyInputModes(QWidget *root);
