#pragma once

#include <QFont>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

// The main form at 100, 125, 150 or 200 %: every control's place and size, every font and the
// window's fixed size grow together, so the form keeps its proportions. The printout is not
// touched. The clerk's choice is kept in the user's settings; until there is one, the screen's
// logical DPI decides.
class DisplaySize : public QObject
{
    Q_OBJECT

public:
    // `window` as the form laid it out, at 100 %; `button` offers the sizes in its menu.
    // Settings live in the file at settingsPath, empty meaning the user's settings.
    DisplaySize(QWidget *window, QPushButton *button, const QString &settingsPath);

private:
    void apply(int percent);
    void choose(int percent);

    struct Control
    {
        QWidget *widget;
        QRect geometry;
    };
    struct OwnFont
    {
        QWidget *widget;
        QFont font;
    };

    QWidget *m_window;
    QPushButton *m_button;
    QString m_settingsPath;
    QSize m_size;
    QList<Control> m_controls;
    QList<OwnFont> m_fonts;
    int m_percent = 100;
};
