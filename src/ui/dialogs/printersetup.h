#pragma once

#include "printing/printerchoice.h"

#include <QString>

#include <functional>
#include <optional>

class Background;
class CupsPrinting;
class Spooler;
class QWidget;

// Printer setup as the window opens it: printer, paper and orientation. Cancel changes nothing.
class PrinterSetup
{
public:
    virtual ~PrinterSetup() = default;
    // Why the confirmed choice could not be kept for later runs, in Japanese; else empty.
    virtual QString setup(QWidget *parent) = 0;
};

// The setup dialog over the print service's destinations, keeping what is confirmed.
class CupsPrinterSetup : public PrinterSetup
{
public:
    // Shows the modal dialog starting from the choice made (nothing before the first setup);
    // the confirmed choice, or nothing when the user cancelled. Tests hand in their own.
    using ChoiceDialog = std::function<std::optional<PrinterChoice>(
        Spooler &spooler, const std::optional<PrinterChoice> &current, QWidget *parent)>;

    CupsPrinterSetup(CupsPrinting &printing, Background &background);
    void setChoiceDialog(ChoiceDialog dialog) { m_dialog = std::move(dialog); }
    QString setup(QWidget *parent) override;

private:
    CupsPrinting &m_printing;
    ChoiceDialog m_dialog;
};
