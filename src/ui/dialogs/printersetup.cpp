#include "ui/dialogs/printersetup.h"

#include "printing/cupsprinting.h"
#include "ui/dialogs/printersetupdialog.h"

CupsPrinterSetup::CupsPrinterSetup(CupsPrinting &printing, Background &background)
    : m_printing(printing)
{
    m_dialog = [&background](Spooler &spooler, const std::optional<PrinterChoice> &current,
                             QWidget *parent) {
        return PrinterSetupDialog::choose(spooler, background, current, parent);
    };
}

QString CupsPrinterSetup::setup(QWidget *parent)
{
    const auto confirmed = m_dialog(m_printing.spooler(), m_printing.chosen(), parent);
    return confirmed ? m_printing.keep(*confirmed) : QString();
}
