#pragma once

// Stand-ins for the desktop, so every handler runs offscreen and its effects can be checked.

#include "system/background.h"
#include "system/clock.h"
#include "system/messages.h"
#include "system/services.h"
#include "system/session.h"

#include <QStringList>

class FakeMessages : public Messages
{
public:
    struct Shown
    {
        QString kind; // "warning", "critical" or "question"
        QString title;
        QString text;
    };

    void warning(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("warning"), title, text});
    }
    void critical(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("critical"), title, text});
    }
    bool askYesNo(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("question"), title, text});
        return answerYes;
    }

    QList<Shown> shown;
    bool answerYes = false;
};

class FakeClock : public Clock
{
public:
    QDate today() const override { return date; }
    QDate date{2026, 12, 5};
};

class FakeSession : public Session
{
public:
    void quit() override { ++quitCalls; }
    int quitCalls = 0;
};

// Runs the work at once, on the GUI thread: a click's job has ended when the click returns.
// Held, it keeps the work until released, as a slow print service would.
class InlineBackground : public Background
{
public:
    void run(QObject *, std::function<void()> work, std::function<void()> done) override
    {
        held.append({std::move(work), std::move(done)});
        if (!hold)
            release();
    }
    void release(int count = -1)
    {
        while (!held.isEmpty() && count-- != 0) {
            const auto [work, done] = held.takeFirst();
            work();
            done();
        }
    }
    bool hold = false;
    QList<std::pair<std::function<void()>, std::function<void()>>> held;
};

// The fakes of one window, wired into its services.
struct FakeDesktop
{
    InlineBackground background;
    FakeMessages messages;
    FakeClock clock;
    FakeSession session;
    bool anotherInstance = false;

    Services services(const QString &offsetDirectory)
    {
        Services s;
        s.messages = &messages;
        s.clock = &clock;
        s.session = &session;
        s.background = &background;
        s.anotherInstanceRunning = [this] { return anotherInstance; };
        s.offsetDirectory = offsetDirectory;
        return s;
    }
};

// ---- Printing

#include "jobs/printing.h"
#include "jobs/printsurface.h"

#include <cmath>
#include <memory>

// One page as a print job drew it, operation by operation.
struct RecordedPage
{
    struct Op
    {
        enum Kind {
            SetFontSize,
            FontSize,
            SetCurrentX,
            SetCurrentY,
            PrintText,
            DrawCircle,
            EndDocument
        };
        Kind kind;
        int points = 0;
        float x = 0, y = 0, radius = 0; // a position, or a circle
        QString text;
    };
    QString title;
    QList<Op> ops;
    bool ended = false;     // EndDocument was called and succeeded
    bool discarded = false; // the surface went away without that
};

// Records every operation; reports the size it was set to, as a printer font would.
class RecordingSurface : public PrintSurface
{
public:
    using Op = RecordedPage::Op;
    RecordingSurface(RecordedPage *page, QString endError) : m_page(page), m_endError(endError) {}
    ~RecordingSurface() override { m_page->discarded = !m_page->ended; }
    void SetFontSize(int points) override
    {
        m_size = points;
        m_page->ops.append(Op{Op::SetFontSize, points});
    }
    double FontSize() const override
    {
        m_page->ops.append(Op{Op::FontSize});
        return reportedSize >= 0 || std::isnan(reportedSize) ? reportedSize : m_size;
    }
    void SetCurrentX(float twips) override { m_page->ops.append(Op{Op::SetCurrentX, 0, twips}); }
    void SetCurrentY(float twips) override { m_page->ops.append(Op{Op::SetCurrentY, 0, 0, twips}); }
    void PrintText(const QString &text) override
    {
        m_page->ops.append(Op{Op::PrintText, 0, 0, 0, 0, text});
    }
    void DrawCircle(float centreX, float centreY, float radius) override
    {
        m_page->ops.append(Op{Op::DrawCircle, 0, centreX, centreY, radius});
    }
    QString EndDocument() override
    {
        m_page->ops.append(Op{Op::EndDocument});
        m_page->ended = m_endError.isEmpty();
        return m_endError;
    }

    // When not negative, FontSize reports this instead of the size set; NaN too.
    double reportedSize = -1;

private:
    RecordedPage *m_page;
    QString m_endError;
    int m_size = 0;
};

// A printer that hands out recording surfaces, or fails the way it is told to.
class FakePrinting : public Printing
{
public:
    struct Target : PrintTarget
    {
        FakePrinting &printing;
        bool opened = false;
        explicit Target(FakePrinting &p) : printing(p) {}
        std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
        {
            auto surface = printing.open(title, error);
            opened = surface != nullptr;
            return surface;
        }
        std::optional<AcceptedJob> accepted() const override
        {
            // A job called off took nothing, whatever the last page was.
            if (!opened || printing.pages.isEmpty() || !printing.pages.last()->ended)
                return std::nullopt;
            return AcceptedJob{printing.pages.last()->title, QStringLiteral("Fake"), 1};
        }
    };
    std::unique_ptr<PrintTarget> target() override { return std::make_unique<Target>(*this); }
    virtual std::unique_ptr<PrintSurface> open(const QString &title, QString *error)
    {
        ++openCalls;
        *error = openError;
        if (cancelOpen || !openError.isEmpty())
            return nullptr;
        pages.append(std::make_shared<RecordedPage>());
        pages.last()->title = title;
        auto surface = std::make_unique<RecordingSurface>(pages.last().get(), endError);
        surface->reportedSize = reportedSize;
        return surface;
    }
    QString setup(QWidget *) override { return QString(); }

    QString openError; // open fails with this reason
    bool cancelOpen = false;
    QString endError; // EndDocument fails with this reason
    double reportedSize = -1;
    int openCalls = 0;
    QList<std::shared_ptr<RecordedPage>> pages;
};

// ---- The print service

#include "printing/spooler.h"

#include <QFile>
#include <QMap>

// Print queues as a test sets them up; keeps what reached it.
class FakeSpooler : public Spooler
{
public:
    struct Job
    {
        QString destination;
        QString title;
        QByteArray pdf;
        JobOptions options;
        QString option(const QByteArray &name) const
        {
            for (const auto &option : options)
                if (option.first == name)
                    return QString::fromUtf8(option.second);
            return QString();
        }
    };

    bool destinations(QStringList *names, QString *defaultName, QString *error) override
    {
        ++destinationCalls;
        *error = unreachable;
        if (!unreachable.isEmpty())
            return false;
        *names = queues.keys();
        *defaultName = defaultQueue;
        return true;
    }
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override
    {
        ++paperCalls;
        *error = trouble(destination);
        *papers = queues.value(destination);
        return error->isEmpty();
    }
    QString check(const QString &destination) override
    {
        ++checkCalls;
        return trouble(destination);
    }
    // Why the destination cannot be used, or nothing.
    QString trouble(const QString &destination) const
    {
        if (!unreachable.isEmpty())
            return unreachable;
        if (!queues.contains(destination))
            return QStringLiteral("プリンタ「%1」が見つかりません。").arg(destination);
        return refusing.value(destination);
    }
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override
    {
        submittedFiles.append(pdfFile);
        *jobId = 0;
        if (!refuseJob.isEmpty())
            return refuseJob;
        *jobId = int(jobs.size()) + 1;
        QFile file(pdfFile);
        file.open(QIODevice::ReadOnly);
        jobs.append({destination, title, file.readAll(), options});
        return QString();
    }

    // A4 as the Generic PDF Printer describes it, with the margins given.
    static Paper a4(const QMarginsF &margins)
    {
        return {QStringLiteral("iso_a4_210x297mm"), QStringLiteral("A4"), QSizeF(209.9, 297.04),
                margins};
    }

    QMap<QString, PrinterPapers> queues;
    QString defaultQueue;
    QMap<QString, QString> refusing; // queue -> why check() refuses it
    QString unreachable;             // every call fails with this
    QString refuseJob;               // submit() fails with this
    QStringList submittedFiles;
    QList<Job> jobs;
    int destinationCalls = 0;
    int paperCalls = 0;
    int checkCalls = 0;
};

#include "printing/cupsprinting.h"
#include "window/printersetupdialog.h"

#include <QDialog>

#include <QSignalSpy>

// The real setup dialog, handed to `run` once the print service answered instead of being
// shown; its choice counts when `run` says the user confirmed it.
inline CupsPrinting::ChoiceDialog runSetupDialog(std::function<bool(QDialog &)> run,
                                                 Background *background = nullptr)
{
    return [run, background](Spooler &spooler, const std::optional<PrinterChoice> &current,
                             QWidget *parent) -> std::optional<PrinterChoice> {
        InlineBackground inline_;
        PrinterSetupDialog dialog(spooler, background ? *background : inline_, current, parent);
        QSignalSpy loaded(&dialog, &PrinterSetupDialog::loaded);
        if (dialog.loading() && !loaded.wait(20000))
            return std::nullopt;
        if (!run(dialog))
            return std::nullopt;
        return dialog.choice();
    };
}
