#pragma once

// A window started on the fakes over an offset folder of its own, and what tests do with it.

#include "fakes.h"
#include "history/history.h"
#include "ui/dialogs/japaneseui.h"
#include "ui/main/mainwindow.h"
#include "ui/widgets/updown.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Bytes, or "<folder>" for a folder, "<pipe>" for another kind of file and "<missing>" for
// nothing at that path.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return "<folder>";
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile())
        return "<pipe>";
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool place(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (content == "<folder>")
        return QDir().mkdir(path);
    return content == "<missing>" || (file.open(QIODevice::WriteOnly) && file.write(content) >= 0);
}

// A table of rows written one a line as "name | cell | cell", into the one column "row"; a line
// ending in " |" continues on the next. In a cell \r and \n stand for CR and LF, %XX for any
// byte, and a lone - for nothing.
inline void rows(const char *table)
{
    QTest::addColumn<QStringList>("row");
    QString row;
    for (const QString &line : QString::fromUtf8(table).trimmed().split('\n')) {
        row += line.trimmed();
        if (row.endsWith(" |")) {
            row += ' ';
            continue;
        }
        QStringList cells = row.split(" | ");
        row.clear();
        for (QString &cell : cells) {
            cell.replace("\\r", "\r").replace("\\n", "\n");
            cell = cell == "-" ? ""
                               : QString::fromUtf8(QByteArray::fromPercentEncoding(cell.toUtf8()));
        }
        QTest::newRow(qPrintable(cells.takeFirst())) << cells;
    }
}

// The controls of the letter's fields, in the order of Field, and a text for each: one word
// found nowhere else. The one place tests name the entry fields' controls.
inline const QStringList kFieldControls =
    QStringLiteral("Combo10101 Combo10201 Combo10301 Combo10302 Combo10303 Text10501 "
                   "cIninFuriganaBtn IninShimei Combo10601 DaihyouShimei IninJyu1 IninJyu2 "
                   "Text10701 Text10702 Combo10701 Text10703 Text10704 Text10705 Text10801 "
                   "Text10802 Combo10801 Text10803 Text10804 Text10805")
        .split(' ');
inline const QStringList kLetterTexts =
    QStringLiteral("委任太郎 抹消 7 11 30 NZE141-9012345 カブシキガイシャソラフ "
                   "株式会社ソラフ 代表取締役 山田一郎 "
                   "東京都千代田区霞が関1-1-1 ABCビル3F ゴウドウガイシャ "
                   "SORAFU-LLC 代表社員 鈴木花子 大阪市北区梅田2-2 Umeda-Tower5F "
                   "サンバン 三番商事 取締役 佐藤次郎 名古屋市中区栄3-3 "
                   "Sakae-Bldg.2F")
        .split(' ');

struct WindowFixture
{
    QString xPath() const { return dir.filePath("ini_x1.txt"); }
    QString yPath() const { return dir.filePath("ini_y1.txt"); }
    // Runs the start-up sequence over these offset files.
    Ui::Form1 &start(const QByteArray &x = "5\r\n", const QByteArray &y = "6\r\n",
                     Printing *printer = nullptr, Background *background = nullptr,
                     PrinterSetup *setup = nullptr)
    {
        useJapaneseUi();
        place(xPath(), x);
        place(yPath(), y);
        Services services = desktop.services(dir.path(), printer ? printer : &printing);
        services.printerSetup = setup ? setup : &printing;
        services.settingsPath = dir.filePath("settings.ini");
        services.history = history.get();
        services.printerOffsets = offsets ? offsets : services.printerOffsets;
        if (background)
            services.background = background;
        window = std::make_unique<MainWindow>(services);
        shown = window->load();
        return window->ui();
    }
    // A history of its own in the test's folder, kept from start() on.
    void keepHistory(Background &background)
    {
        history = std::make_unique<History>(dir.filePath("history.sqlite"),
                                            dir.filePath("settings.ini"), background);
    }
    // Lets the window run until its job has ended; the longest it went without an event, in ms.
    qint64 waitForJob()
    {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        while (window->printing() && clock.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        }
        QCoreApplication::processEvents();
        return longest;
    }
    // The control of a field, by its key; a list gives its edit field.
    QLineEdit *field(const QString &key) const
    {
        const QString name = kFieldControls[int(*fieldFromKey(key))];
        if (auto *list = window->findChild<QComboBox *>(name))
            return list->lineEdit();
        return window->findChild<QLineEdit *>(name);
    }
    // Sets the texts as the fields' own, without typing; and reads them back.
    void fill(const QStringList &texts = kLetterTexts)
    {
        for (int i = 0; i < texts.size(); ++i)
            field(fieldKey(fieldAt(i)))->setText(texts[i]);
    }
    QStringList texts() const
    {
        QStringList all;
        for (int i = 0; i < kFieldCount; ++i)
            all << field(fieldKey(fieldAt(i)))->text();
        return all;
    }
    // All the user typed, chose or set, to see that a job changed none of it.
    QStringList state() const
    {
        QStringList all;
        for (const QWidget *w : window->findChildren<QWidget *>()) {
            if (w->objectName() == "noticeLabel") // says how a job went, changes nothing
                continue;
            all << w->objectName() + QString::number(w->isVisibleTo(window.get()));
            if (auto *edit = qobject_cast<const QLineEdit *>(w))
                all << edit->text();
            if (auto *button = qobject_cast<const QAbstractButton *>(w))
                all << button->text() + QString::number(button->isChecked());
            if (auto *spin = qobject_cast<const UpDown *>(w))
                all << QString::number(spin->value());
        }
        return all;
    }
    // What is wrong, when not one message of that kind under the program's title with every part.
    QString notToldOnce(const QStringList &parts, const QString &kind = "critical") const
    {
        bool whole = desktop.shown.size() == 1 && desktop.shown[0].startsWith(kind + "|ソラフ|");
        for (const QString &part : parts)
            whole &= desktop.shown.value(0).contains(part);
        if (desktop.shown.isEmpty())
            return QStringLiteral("nothing was told");
        return whole ? QString() : desktop.shown.join('\n');
    }

    QTemporaryDir dir;
    FakeDesktop desktop;
    FakePrinting printing;
    // None unless a test makes one before start().
    std::unique_ptr<History> history;
    // None unless a test sets one before start(): the file in the folder.
    PrinterOffsets *offsets = nullptr;
    std::unique_ptr<MainWindow> window;
    bool shown = false;
};
