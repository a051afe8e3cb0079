#pragma once

#include "offsets/printeroffsets.h"

#include <QObject>

#include <memory>

class Background;
class Lane;

// The offsets of the office's network printers, shared through its server by device address,
// so that every PC printing to one printer uses one calibration. This PC's file stays the copy
// every answer comes from, so the window never waits on the network; the server is asked on a
// lane of its own, each call bounded, and a save it could not take is sent again at the next
// save or refresh. PDFファイル and the printers of this PC alone stay in the file.
class SharedPrinterOffsets : public PrinterOffsets
{
public:
    // `connection` as OfficeServer takes it; `pc` names who saved. After the server did not
    // answer, it is asked again `retryMs` later at the earliest. Saves it has not taken yet are
    // kept in the file at `unsentPath` until it does, across starts.
    SharedPrinterOffsets(PrinterOffsets &local, const QString &connection, const QString &pc,
                         Background &background, int retryMs = 30000,
                         const QString &unsentPath = QString());
    ~SharedPrinterOffsets() override;

    std::optional<PrintOffset> find(const PrinterIdentity &printer, QString *problem) override;
    QString save(const PrinterIdentity &printer, const std::optional<PrintOffset> &kept) override;
    void refresh(const PrinterIdentity &printer, QObject *receiver,
                 std::function<void()> changed) override;

    // The device address the office knows the printer by; empty when it is this PC's alone.
    static QString sharedAddress(const PrinterIdentity &printer);

private:
    struct Remote;

    PrinterOffsets &m_local;
    std::shared_ptr<Remote> m_remote;
    // Saves so far: an answer asked for before the latest save is out of date.
    quint64 m_saves = 0;
    QObject m_receiver;
    // Last, so that it goes first, finishing what it was handed.
    std::unique_ptr<Lane> m_lane;
};
