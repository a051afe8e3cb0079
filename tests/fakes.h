#pragma once

// Stand-ins for the desktop and the print service, so every handler runs offscreen and what it
// did can be checked.

#include "layout/printing.h"
#include "layout/printsurface.h"
#include "offsets/printeroffsets.h"
#include "printing/cupsprinting.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/session.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/printersetup.h"
#include "ui/dialogs/printersetupdialog.h"
#include "ui/services.h"

#include <QFile>
#include <QMap>
#include <QSignalSpy>

// Runs the work at once, on the GUI thread: a click's job has ended when the click returns.
struct InlineBackground : Background
{
    void run(QObject *, std::function<void()> work, std::function<void()> done) override
    {
        work();
        done();
    }
    struct InlineLane : Lane
    {
        void run(QObject *, std::function<void()> work, std::function<void()> done) override
        {
            work();
            done();
        }
        bool waitForIdle(int) override { return true; }
    };
    std::unique_ptr<Lane> lane(const QString &) override { return std::make_unique<InlineLane>(); }
};

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
        return false;
    }
    bool askPrintAnyway(const QString &t, const QString &x) override
    {
        shown << "printAnyway|" + t + '|' + x;
        return printAnyway;
    }
    bool askYesNoDefaultNo(const QString &t, const QString &x) override
    {
        shown << "question-no|" + t + '|' + x;
        return yesToDelete;
    }
    Answer askYesNoCancel(const QString &t, const QString &x) override
    {
        shown << "question|" + t + '|' + x;
        return Answer::Cancel;
    }
    QString pdfFileName(const QString &suggested) override
    {
        suggestedFiles << suggested;
        return pickedFile;
    }
    QString csvFileToOpen(const QString &) override { return pickedCsv; }
    QString csvFileToSave(const QString &suggested) override
    {
        suggestedFiles << suggested;
        return pickedCsv;
    }
    QDate today() const override { return date; }
    void quit() override { ++quits; }
    Services services(const QString &folder, Printing *printing = nullptr)
    {
        Services s{this, this, this, printing};
        s.background = &background;
        s.anotherInstanceRunning = [this] { return anotherInstance; };
        s.raiseRunningInstance = [this] { ++raised; };
        s.startHistory = [this]() -> History * {
            ++historiesStarted;
            return nullptr;
        };
        s.offsetDirectory = folder;
        printers = std::make_unique<PrinterOffsetFile>(folder);
        s.printerOffsets = printers.get();
        return s;
    }

    QStringList shown;
    QStringList suggestedFiles;
    QString pickedFile, pickedCsv;
    bool yesToDelete = false;
    bool printAnyway = true;
    QDate date{2026, 12, 5};
    int quits = 0, raised = 0, historiesStarted = 0;
    InlineBackground background;
    std::unique_ptr<PrinterOffsetFile> printers;
    bool anotherInstance = false;
};

// A float as text that tells every bit apart.
inline QString exact(float value)
{
    return QString::number(double(value), 'g', 9);
}

// Each page handed out, as its title and a line per operation; or it fails as it is told to.
struct FakePrinting : Printing, PrinterSetup, PrintTarget
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
            if (p->beforeEnd)
                p->beforeEnd(int(p->pages.size()));
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
    std::unique_ptr<PrintTarget> target() override
    {
        struct Target : PrintTarget
        {
            FakePrinting &p;
            bool opened = false;
            explicit Target(FakePrinting &printing) : p(printing) {}
            std::unique_ptr<PrintSurface> open(const QString &t, QString *e) override
            {
                auto surface = p.open(t, e);
                opened = surface != nullptr;
                return surface;
            }
            // A job called off took nothing, whatever the last page was.
            std::optional<AcceptedJob> accepted() const override
            {
                return opened ? p.accepted() : std::nullopt;
            }
        };
        return std::make_unique<Target>(*this);
    }
    std::optional<AcceptedJob> accepted() const override
    {
        if (pages.isEmpty() || pages.last().last() != QStringLiteral("end"))
            return std::nullopt;
        AcceptedJob job{pages.last().first(), QStringLiteral("Fake"), 1, file};
        job.printerName = job.destination;
        return job;
    }
    QString setup(QWidget *) override { return QString(); }
    QString chosenName() const override { return QStringLiteral("Fake"); }
    std::optional<PrinterIdentity> chosenIdentity() const override { return identity; }

    QString openError, endError, file;
    bool cancel = false;
    double reportedSize = -1;
    int opened = 0;
    std::optional<PrinterIdentity> identity;
    QList<QStringList> pages;
    // Told the page's number as its job is about to end: to change the world mid-batch.
    std::function<void(int page)> beforeEnd;
};

// Print queues as a test sets them up; keeps the jobs that reached it.
struct FakeSpooler : Spooler
{
    struct Job
    {
        QString destination, title, options;
        QByteArray pdf;
    };
    bool destinations(QStringList *names, QString *defaultName, QMap<QString, QString> *described,
                      QString *error) override
    {
        ++asked;
        *names = queues.keys();
        *described = descriptions;
        if (!unreachable.isEmpty())
            names->clear();
        *defaultName = defaultQueue;
        return (*error = unreachable).isEmpty();
    }
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override
    {
        *papers = queues.value(destination);
        return (*error = check(destination, nullptr)).isEmpty();
    }
    QString check(const QString &destination, QueueFacts *facts) override
    {
        ++asked;
        if (facts)
            *facts = {descriptions.value(destination), configChanged, serviceNow};
        if (!unreachable.isEmpty() || queues.contains(destination))
            return unreachable;
        return QStringLiteral("プリンタ「%1」が見つかりません。").arg(destination);
    }
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override
    {
        *jobId = refuseJob.isEmpty() ? int(jobs.size()) + 1 : 0;
        QFile file(submitted.emplaceBack(pdfFile));
        QStringList given;
        for (const auto &[name, value] : options)
            given << name + '=' + value;
        if (refuseJob.isEmpty() && file.open(QIODevice::ReadOnly))
            jobs.append({destination, title, given.join(' '), file.readAll()});
        return refuseJob;
    }
    QString deviceUri(const QString &destination) override { return devices.value(destination); }

    QMap<QString, PrinterPapers> queues;
    QMap<QString, QString> descriptions; // printer-info, by queue
    QMap<QString, QString> devices;      // device-uri, by queue
    QString defaultQueue, unreachable, refuseJob;
    QStringList submitted;
    QList<Job> jobs;
    int asked = 0;
    qint64 configChanged = 0, serviceNow = 0; // the service's seconds, 0 for unknown
};

// The real setup dialog, handed to `run` once the print service answered instead of being
// shown; its choice counts when `run` says the user confirmed it.
inline CupsPrinterSetup::ChoiceDialog runSetupDialog(std::function<bool(QDialog &)> run,
                                                     Background *background = nullptr)
{
    return [run, background](Spooler &spooler, const std::optional<PrinterChoice> &current,
                             QWidget *parent) -> std::optional<PrinterChoice> {
        InlineBackground inlined;
        PrinterSetupDialog dialog(spooler, background ? *background : inlined, current, parent);
        QSignalSpy loaded(&dialog, &PrinterSetupDialog::loaded);
        if (dialog.loading() && !loaded.wait(20000))
            return std::nullopt;
        return run(dialog) ? std::optional(dialog.choice()) : std::nullopt;
    };
}
