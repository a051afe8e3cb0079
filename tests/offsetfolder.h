#pragma once

// A temporary folder holding the two offset files, and a window started on it.

#include "fakes.h"
#include "window/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// What is at the path, in the form place() takes, so "left as it was" is one comparison.
inline QByteArray readFile(const QString &path)
{
    if (QFileInfo(path).isDir())
        return "<folder>";
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Bytes, a folder for "<folder>", or nothing at all for "<missing>".
inline bool place(const QString &path, const QByteArray &content)
{
    if (content == "<missing>")
        return true;
    if (content == "<folder>")
        return QDir().mkdir(path);
    return writeFile(path, content);
}

struct OffsetFolder
{
    OffsetFolder(const QByteArray &x = "5\r\n", const QByteArray &y = "6\r\n")
    {
        place(xPath(), x);
        place(yPath(), y);
    }
    QString xPath() const { return dir.filePath(QStringLiteral("ini_x1.txt")); }
    QString yPath() const { return dir.filePath(QStringLiteral("ini_y1.txt")); }
    QStringList entries() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Runs the start-up sequence; what it said stays in desktop.messages.
    Ui::Form1 &start()
    {
        window = std::make_unique<MainWindow>(desktop.services(dir.path()));
        window->load();
        return window->ui();
    }

    QTemporaryDir dir;
    FakeDesktop desktop;
    std::unique_ptr<MainWindow> window;
};
