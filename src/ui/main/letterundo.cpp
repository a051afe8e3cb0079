#include "ui/main/letterundo.h"

#include "ui/main/letterform.h"
#include "ui/widgets/notice.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>

LetterUndo::LetterUndo(LetterForm &form, Notice &notice, QWidget *window)
    : QObject(window), m_form(form), m_notice(notice)
{
    auto *shortcut = new QShortcut(QKeySequence::Undo, window);
    connect(shortcut, &QShortcut::activated, this, &LetterUndo::undo);
    // Ctrl+Z after a change of the new letter would throw that change away.
    connect(&form, &LetterForm::letterChanged, this, [this] {
        if (!m_replacing)
            m_replaced.reset();
    });
    for (QWidget *field : window->findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(field) || qobject_cast<QComboBox *>(field))
            field->installEventFilter(this);
}

void LetterUndo::replace(const QString &done, const std::function<void()> &replace)
{
    const bool typed = !m_form.isFresh();
    const Letter before = m_form.letter();
    m_replacing = true;
    replace();
    m_replacing = false;
    m_replaced.reset();
    if (!typed || m_form.letter() == before) {
        m_notice.tell(done, 4000);
        return;
    }
    m_replaced = before;
    m_notice.tell(done + tr("元に戻すには Ctrl+Z"), 10000);
}

bool LetterUndo::eventFilter(QObject *watched, QEvent *event)
{
    // Left to the window's shortcut when the field has nothing of its own to undo, as right after
    // 新規, which puts the focus in the first field.
    if (!m_replaced || event->type() != QEvent::ShortcutOverride ||
        !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Undo))
        return false;
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (auto *list = qobject_cast<QComboBox *>(watched))
        edit = list->lineEdit();
    return edit && !edit->isUndoAvailable();
}

void LetterUndo::undo()
{
    if (!m_replaced)
        return;
    m_replacing = true;
    m_form.setLetter(*std::exchange(m_replaced, std::nullopt));
    m_replacing = false;
    m_notice.tell(tr("元の委任状に戻しました。"), 4000);
}
