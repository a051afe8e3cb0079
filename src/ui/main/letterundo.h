#pragma once

#include "core/letter.h"

#include <QObject>

#include <functional>
#include <optional>

class LetterForm;
class Notice;
class QWidget;

// 元に戻す for 新規 and 入力欄に開く: the letter they replaced comes back with Ctrl+Z until the
// new one is changed. A field with something of its own to undo keeps the key for that.
class LetterUndo : public QObject
{
    Q_OBJECT

public:
    LetterUndo(LetterForm &form, Notice &notice, QWidget *window);

    // Runs `replace`, which puts another letter into the form; a letter typed before it can be
    // brought back, and `done` says so.
    void replace(const QString &done, const std::function<void()> &replace);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void undo();

    LetterForm &m_form;
    Notice &m_notice;
    std::optional<Letter> m_replaced;
    bool m_replacing = false;
};
