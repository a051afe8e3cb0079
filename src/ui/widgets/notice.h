#pragma once

#include <QLabel>
#include <QTimer>

// A short line in the window that moves nothing and takes no focus; with a timeout it goes
// away by itself.
class Notice : public QLabel
{
    Q_OBJECT

public:
    explicit Notice(QWidget *parent);

    void tell(const QString &text, int timeoutMs = 0);

private:
    QTimer m_timer;
};
