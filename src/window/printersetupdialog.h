#pragma once

#include "printing/printerchoice.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QRadioButton;
class Spooler;

// Printer setup: the destination (the print queues and "PDF file"), the paper that destination
// offers, and the orientation. It only chooses; the caller keeps the choice when it is accepted.
class PrinterSetupDialog : public QDialog
{
    Q_OBJECT

public:
    // Lists the destinations at once. `current` is preselected where it still exists.
    PrinterSetupDialog(Spooler &spooler, const std::optional<PrinterChoice> &current,
                       QWidget *parent = nullptr);

    PrinterChoice choice() const;

    // Runs the dialog modally; the confirmed choice, or nothing on cancel.
    static std::optional<PrinterChoice>
    choose(Spooler &spooler, const std::optional<PrinterChoice> &current, QWidget *parent);

private:
    void listDestinations();
    void onPrinterChanged();
    void showNotice(const QString &text);

    Spooler &m_spooler;
    std::optional<PrinterChoice> m_current;
    QString m_destinationsProblem;
    QComboBox *m_printer;
    QComboBox *m_paper;
    QRadioButton *m_portrait;
    QRadioButton *m_landscape;
    QLabel *m_notice;
    QDialogButtonBox *m_buttons;
};
