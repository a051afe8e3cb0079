#pragma once

#include <QString>

class QWidget;

// Modal message boxes, behind an interface so handlers run in tests without a dialog blocking.
class Messages
{
public:
    virtual ~Messages() = default;
    // The title of every message box but the exit question.
    static QString appTitle();
    // Exclamation icon, OK only.
    virtual void warning(const QString &title, const QString &text) = 0;
    // Critical icon, OK only: a failure the user has to know of.
    virtual void critical(const QString &title, const QString &text) = 0;
    // Question icon, Yes and No with Yes the default; true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
    // Warning icon, 印刷する and やめる with やめる the default; true for 印刷する.
    virtual bool askPrintAnyway(const QString &title, const QString &text) = 0;
    // The same with No the default: for what cannot be undone.
    virtual bool askYesNoDefaultNo(const QString &title, const QString &text) = 0;
    enum class Answer { Yes, No, Cancel };
    // Question icon, Yes, No and Cancel with Yes the default.
    virtual Answer askYesNoCancel(const QString &title, const QString &text) = 0;
    // Where a PDF file goes, starting from a suggested path; empty when the user cancels.
    virtual QString pdfFileName(const QString &suggested) = 0;
    // A CSV file to read, starting in `folder`; empty when the user cancels.
    virtual QString csvFileToOpen(const QString &folder) = 0;
    // Where a CSV file goes, starting from a suggested path; empty when the user cancels.
    virtual QString csvFileToSave(const QString &suggested) = 0;
    // The window the boxes from now on are shown over.
    virtual void setParent(QWidget *) {}
};

class QtMessages : public Messages
{
public:
    explicit QtMessages(QWidget *parent) : m_parent(parent) {}
    void setParent(QWidget *parent) override { m_parent = parent; }
    void warning(const QString &title, const QString &text) override;
    void critical(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
    bool askPrintAnyway(const QString &title, const QString &text) override;
    bool askYesNoDefaultNo(const QString &title, const QString &text) override;
    Answer askYesNoCancel(const QString &title, const QString &text) override;
    QString pdfFileName(const QString &suggested) override;
    QString csvFileToOpen(const QString &folder) override;
    QString csvFileToSave(const QString &suggested) override;

private:
    QString fileName(const QString &caption, const QString &suggested, const QString &filter,
                     bool save);
    QWidget *m_parent;
};
