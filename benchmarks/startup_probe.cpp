// Starts a window, waits until it is on screen and the event loop is idle, prints the peak
// memory and the microseconds since SORAFU_PROBE_START (the real-time clock in nanoseconds,
// taken just before the start), and exits; the end of the process is no part of the start.
// Built three times: with the real window; with an anchor window of stock Qt controls of the
// same kinds and number; and with a bare QWidget of the same size.

#ifdef SORAFU_REAL_WINDOW
#include "desktop.h"
#include "ui/dialogs/japaneseui.h"
#include "ui/main/mainwindow.h"
#endif

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <ctime>

static QByteArray peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "0";
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0);
    return "0";
}

#ifdef SORAFU_ANCHOR_WINDOW
static QWidget *anchorWindow()
{
    // 10 frames, 22 labels, 16 editable lists, 13 text boxes, 6 buttons, 2 check boxes, 2 spins.
    auto *window = new QWidget;
    window->setFixedSize(725, 506);
    window->setWindowTitle(QStringLiteral("ソラフ"));
    QList<QGroupBox *> frames;
    for (int i = 0; i < 10; ++i) {
        auto *frame = new QGroupBox(QStringLiteral("委任者"), window);
        frame->setGeometry(10 + (i % 2) * 360, 10 + (i / 2) * 98, 340, 90);
        frames << frame;
    }
    int n = 0;
    auto place = [&](QWidget *w) {
        w->setParent(frames[n % 10]);
        w->setGeometry(8 + (n / 10) * 40, 20 + (n % 3) * 22, 38, 20);
        ++n;
    };
    for (int i = 0; i < 22; ++i)
        place(new QLabel(QStringLiteral("氏名又は会社名　：")));
    for (int i = 0; i < 16; ++i) {
        auto *combo = new QComboBox;
        combo->setEditable(true);
        combo->addItems({QStringLiteral("代表取締役"), QString()});
        place(combo);
    }
    for (int i = 0; i < 13; ++i)
        place(new QLineEdit);
    for (int i = 0; i < 6; ++i)
        place(new QPushButton(QStringLiteral("印刷")));
    for (int i = 0; i < 2; ++i)
        place(new QCheckBox(QStringLiteral("※委任内容を特定する")));
    for (int i = 0; i < 2; ++i)
        place(new QSpinBox);
    return window;
}
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
#ifdef SORAFU_REAL_WINDOW
    useJapaneseUi();
    Desktop desktop;
    auto *window = new MainWindow(desktop.services());
    desktop.attach(window);
    if (!window->load())
        return 1;
#elif defined(SORAFU_ANCHOR_WINDOW)
    QWidget *window = anchorWindow();
#else
    auto *window = new QWidget;
    window->setFixedSize(725, 506);
#endif
    window->show();

    // On screen once the window is exposed; idle once a zero timer gets its turn after that.
    auto *poll = new QTimer(&app);
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, &app, [&] {
        if (!window->windowHandle() || !window->windowHandle()->isExposed())
            return;
        poll->stop();
        QTimer::singleShot(0, &app, [] {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const qint64 started = qEnvironmentVariable("SORAFU_PROBE_START").toLongLong();
            const qint64 elapsed = (now.tv_sec * 1000000000LL + now.tv_nsec - started) / 1000;
            std::printf("%s %lld\n", peakMemoryKb().constData(), elapsed);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    });
    poll->start();
    const int result = app.exec();
    delete window;
    return result;
}
