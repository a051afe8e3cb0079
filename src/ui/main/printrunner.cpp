#include "ui/main/printrunner.h"

#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "layout/placement.h"
#include "system/background.h"
#include "system/session.h"
#include "ui/dialogs/messages.h"
#include "ui/services.h"
#include "ui/widgets/notice.h"

#include <QFileInfo>
#include <QWidget>

#include <memory>
#include <new>

PrintRunner::PrintRunner(const Services &services, QWidget *window, Notice *notice,
                         const QList<QWidget *> &printButtons)
    : QObject(window), m_services(services), m_window(window), m_notice(notice),
      m_printButtons(printButtons), m_check(*services.messages)
{
}

void PrintRunner::print(const std::optional<Letter> &letter, const PrintOffset &offset,
                        const QString &fileName, QWidget *askedFrom)
{
    if (!m_busy)
        m_askedFrom = askedFrom;
    if (!letter) {
        run(
            marksTitle(), fileName,
            [offset](PrintTarget &target) {
                PrintPlacement placement;
                return printMarks(offset, target, placement);
            },
            std::nullopt, offset);
        return;
    }
    if (m_busy || !m_check.confirm(*letter))
        return;
    run(
        letterTitle(), fileName,
        [letter = *letter, offset](PrintTarget &target) {
            PrintPlacement placement;
            return printLetter(letter, offset, target, placement);
        },
        letter, offset);
}

void PrintRunner::run(const QString &title, const QString &fileName, Job job,
                      const std::optional<Letter> &letter, const PrintOffset &offset)
{
    if (m_busy)
        return;
    std::shared_ptr<PrintTarget> target = m_services.printing->target();
    // Asked before the job starts: a job never waits on a dialog.
    if (const QString suggested = target->suggestedFile(fileName.isEmpty() ? title : fileName);
        !suggested.isEmpty())
        target->setFile(m_services.messages->pdfFileName(suggested));
    auto failure = std::make_shared<QString>();
    setBusy(true);
    m_services.background->run(
        this,
        [job = std::move(job), target, failure] {
            // Nothing may escape a thread: it would end the program.
            try {
                *failure = job(*target);
            } catch (const std::exception &error) {
                *failure = unforeseenFailure(error);
            }
        },
        [this, target, failure, letter, offset] {
            ended(*failure, failure->isEmpty() ? target->accepted() : std::nullopt, letter, offset);
        });
}

void PrintRunner::ended(const QString &failure, const std::optional<AcceptedJob> &accepted,
                        const std::optional<Letter> &letter, const PrintOffset &offset)
{
    setBusy(false);
    QWidget *askedFrom = m_askedFrom;
    m_askedFrom = nullptr;
    if (!failure.isEmpty()) {
        if (askedFrom)
            emit outcomeFor(askedFrom, failure);
        m_services.messages->setParent(askedFrom ? askedFrom : m_window);
        m_services.messages->critical(Messages::appTitle(), failure);
        m_services.messages->setParent(m_window);
    } else if (accepted) {
        const QString told =
            accepted->file.isEmpty()
                ? tr("%1 に送りました（ジョブ %2）").arg(accepted->printerName).arg(accepted->jobId)
                : tr("%1 を保存しました").arg(QFileInfo(accepted->file).fileName());
        m_notice->tell(told, 4000);
        if (askedFrom)
            emit outcomeFor(askedFrom, told);
        emit jobAccepted(*accepted, letter, offset);
    }
    emit jobFinished();
    if (m_quitAfterJob)
        m_services.session->quit();
    else if (m_closeAfterJob)
        m_window->close();
}

void PrintRunner::setBusy(bool busy)
{
    m_busy = busy;
    QWidget *focused = m_window->focusWidget();
    for (QWidget *button : std::as_const(m_printButtons))
        button->setEnabled(!busy);
    if (busy) {
        // A print button put to rest hands the focus on, after 印刷 to 終了, where the next Enter
        // would ask to quit: it goes back after the job, unless the clerk moved it meanwhile.
        m_focusBefore = focused;
        m_focusMovedTo = m_window->focusWidget();
        m_window->setCursor(Qt::BusyCursor);
        m_notice->tell(tr("印刷しています…"));
    } else {
        if (m_focusBefore && m_focusBefore != m_focusMovedTo &&
            m_window->focusWidget() == m_focusMovedTo && m_focusBefore->isEnabled() &&
            m_focusBefore->isVisibleTo(m_window))
            m_focusBefore->setFocus();
        m_window->unsetCursor();
        m_notice->hide();
    }
}

bool PrintRunner::holdUntilEnd()
{
    // A page half handed over would be lost or come out later unasked for.
    if (m_busy)
        m_notice->tell(tr("印刷を送り終えてから閉じます…"));
    return m_busy;
}

bool PrintRunner::closeAfterJob()
{
    m_closeAfterJob = holdUntilEnd();
    return m_closeAfterJob;
}

bool PrintRunner::quitAfterJob()
{
    m_quitAfterJob = holdUntilEnd();
    return m_quitAfterJob;
}
