#include "ui/widgets/inputmodes.h"

#include "core/kana.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

static void convertToKatakana(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString converted = hiraganaToKatakana(text);
        if (converted == text)
            return;
        // The conversion keeps the length, so the cursor stays where the user left it.
        const int cursor = edit->cursorPosition();
        edit->setText(converted);
        edit->setCursorPosition(cursor);
    });
}

void applyInputModes(QWidget *root)
{
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString mode = widget->property("inputMode").toString();
        if (mode.isEmpty())
            continue;
        QLineEdit *edit = qobject_cast<QLineEdit *>(widget);
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            edit = combo->lineEdit();
        if (!edit)
            continue;
        const bool methodOn = mode != QLatin1String("off");
        widget->setAttribute(Qt::WA_InputMethodEnabled, methodOn);
        edit->setAttribute(Qt::WA_InputMethodEnabled, methodOn);
        if (mode == QLatin1String("katakana"))
            convertToKatakana(edit);
    }
}
