#pragma once

// Stand-ins for the desktop and the print service, so every handler runs offscreen and what it
// did can be checked.

#include "jobs/printing.h"
#include "jobs/printsurface.h"
#include "printing/cupsprinting.h"
#include "system/clock.h"
#include "system/messages.h"
#include "system/services.h"
#include "system/session.h"
#include "window/printersetupdialog.h"

#include <QFile>
#include <QMap>

// The desktop: every message shown as "kind|title|text", the date, and the quits asked for.
struct FakeDesktop : Messages, Clock, Session
{
    void warning(const QString &t, const QString &x) override { shown << "warning|" + t + '|' + x; }
    void critical(const QString &t, const QString &x) override
    {
        shown << "critical|" + t + '|' + x;
    }
    bool askYesNo(const QString &t, const QString &x) override
    {
        shown << "question|" + t + '|' + x;
        return answerYes;
    }
    QDate today() const override { return date; }
    void quit() override { ++quits; }
    Services services(const QString &folder, Printing *printing = nullptr)
    {
        return {this, this, this, printing, [this] { return anotherInstance; }, folder};
    }

    QStringList shown;
    QDate date{2026, 12, 5};
    int quits = 0;
    bool answerYes = false, anotherInstance = false;
};

// A float as text that tells every bit apart.
inline QString exact(float value)
{
    return QString::number(double(value), 'g', 9);
}

// Each page handed out, as its title and a line per operation; or it fails as it is told to.
struct FakePrinting : Printing
{
    struct Surface : PrintSurface
    {
        explicit Surface(FakePrinting *printing) : p(printing), ops(printing->pages.last()) {}
        ~Surface() override { ops << (ended ? "end" : "discarded"); }
        void SetFontSize(int points) override { ops << QString::number(size = points) + "pt"; }
        // The size set, as a printer font reports it, unless told to report another.
        double FontSize() const override { return p->reportedSize < 0 ? size : p->reportedSize; }
        void SetCurrentX(float twips) override { ops << "x " + exact(twips); }
        void SetCurrentY(float twips) override { ops << "y " + exact(twips); }
        void PrintText(const QString &text) override { ops << text; }
        void DrawCircle(float x, float y, float r) override
        {
            ops << "circle " + exact(x) + ' ' + exact(y) + ' ' + exact(r);
        }
        QString EndDocument() override
        {
            ended = p->endError.isEmpty();
            return p->endError;
        }
        FakePrinting *p;
        QStringList &ops;
        int size = 0;
        bool ended = false;
    };
    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
    {
        ++opened;
        *error = openError;
        if (!openError.isEmpty() || cancel)
            return nullptr;
        pages << QStringList{title};
        return std::make_unique<Surface>(this);
    }
    QString setup(QWidget *) override { return QString(); }

    QString openError, endError;
    bool cancel = false;
    double reportedSize = -1;
    int opened = 0;
    QList<QStringList> pages;
};

// Print queues as a test sets them up; keeps the jobs that reached it.
struct FakeSpooler : Spooler
{
    struct Job
    {
        QString destination, title, options;
        QByteArray pdf;
    };
    bool destinations(QStringList *names, QString *defaultName, QString *error) override
    {
        ++asked;
        *names = queues.keys();
        if (!unreachable.isEmpty())
            names->clear();
        *defaultName = defaultQueue;
        return (*error = unreachable).isEmpty();
    }
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override
    {
        *papers = queues.value(destination);
        return (*error = check(destination)).isEmpty();
    }
    QString check(const QString &destination) override
    {
        ++asked;
        if (!unreachable.isEmpty() || queues.contains(destination))
            return unreachable;
        return QStringLiteral("プリンタ「%1」が見つかりません。").arg(destination);
    }
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options) override
    {
        QFile file(submitted.emplaceBack(pdfFile));
        QStringList given;
        for (const auto &[name, value] : options)
            given << name + '=' + value;
        if (refuseJob.isEmpty() && file.open(QIODevice::ReadOnly))
            jobs.append({destination, title, given.join(' '), file.readAll()});
        return refuseJob;
    }

    QMap<QString, PrinterPapers> queues;
    QString defaultQueue, unreachable, refuseJob;
    QStringList submitted;
    QList<Job> jobs;
    int asked = 0;
};

// The real setup dialog, handed to `run` instead of being shown; its choice counts when `run`
// says the user confirmed it.
inline CupsPrinting::ChoiceDialog runSetupDialog(std::function<bool(QDialog &)> run)
{
    return [run](Spooler &spooler, const std::optional<PrinterChoice> &current, QWidget *parent) {
        PrinterSetupDialog dialog(spooler, current, parent);
        return run(dialog) ? std::optional(dialog.choice()) : std::nullopt;
    };
}
