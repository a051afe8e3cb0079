#pragma once

class QLineEdit;

// While the text is wider than the field, and so scrolled partly out of view, the field's
// tooltip shows it whole; otherwise the field keeps the tooltip it had.
void showFullTextInToolTip(QLineEdit *edit);
