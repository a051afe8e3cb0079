#pragma once

#include "printing/printerchoice.h"

#include <QDialog>

#include <optional>

class Background;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QRadioButton;
class Spooler;

// Printer setup: the destination (the print queues and "PDF file"), the paper that destination
// offers, and the orientation. It only chooses; the caller keeps the choice when it is accepted.
// It opens at once: the print service is asked in the background and the lists fill in when it
// answers. Until then, and when it does not, the choice made before stays as it was.
class PrinterSetupDialog : public QDialog
{
    Q_OBJECT

public:
    // `current` is preselected where it still exists.
    PrinterSetupDialog(Spooler &spooler, Background &background,
                       const std::optional<PrinterChoice> &current, QWidget *parent = nullptr);

    PrinterChoice choice() const;
    // True while the print service has not answered all that was asked.
    bool loading() const { return m_waiting > 0; }

    // Runs the dialog modally; the confirmed choice, or nothing on cancel.
    static std::optional<PrinterChoice> choose(Spooler &spooler, Background &background,
                                               const std::optional<PrinterChoice> &current,
                                               QWidget *parent);

signals:
    // The print service answered (or gave up on) the last thing asked.
    void loaded();

private:
    void listDestinations(const QStringList &names, const QString &defaultName,
                          const QMap<QString, QString> &descriptions, const QString &problem);
    void onPrinterChanged();
    void showPapers(const PrinterPapers &papers, const QString &problem);
    void ask(std::function<void()> work, std::function<void()> done);
    void updateState();

    Spooler &m_spooler;
    Background &m_background;
    std::optional<PrinterChoice> m_current;
    QString m_destinationsProblem;
    QString m_papersProblem;
    int m_waiting = 0;
    bool m_listing = true;
    int m_papersAsked = 0;
    // Of the queue shown: its device, once the print service said; the queues' descriptions.
    QString m_deviceUri;
    QMap<QString, QString> m_descriptions;
    QComboBox *m_printer;
    QComboBox *m_paper;
    QRadioButton *m_portrait;
    QRadioButton *m_landscape;
    QLabel *m_loading;
    QLabel *m_notice;
    QDialogButtonBox *m_buttons;
};
