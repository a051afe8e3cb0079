#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace Ui {
class Form1;
}

// The adjustment panel: its toggle, the two spins and their boxes, and the offset files the
// boxes start from and are saved to.
class OffsetPanel : public QObject
{
    Q_OBJECT

public:
    OffsetPanel(Ui::Form1 &ui, QWidget *window);

    // At start: the panel closed, the boxes as the files in `directory` say. The one warning
    // for the files that could not be used; else empty.
    QString load(const QString &directory);
    // ズレ保存: what to tell when nothing was saved; else empty, and *saved says what was.
    QString save(const QString &directory, QString *saved);
    // The boxes differ from what was last read or saved.
    bool unsaved() const;

private:
    void onOnOffBtnClicked();

    Ui::Form1 &m_ui;
    QString m_savedLeftRight;
    QString m_savedUpDown;
};
