#include "ui/widgets/notice.h"

Notice::Notice(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("noticeLabel"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral(
        "background: #eef7e8; border: 1px solid #7aa55c; border-radius: 3px; color: #203a10;"));
    hide();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void Notice::tell(const QString &text, int timeoutMs)
{
    setText(text);
    raise();
    show();
    if (timeoutMs > 0)
        m_timer.start(timeoutMs);
    else
        m_timer.stop();
}
