#pragma once

#include "core/letter.h"
#include "core/printoffset.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <array>
#include <optional>

struct DateTexts;
class QWidget;

namespace Ui {
class Form1;
}

// The entry fields of the window as a Letter: the one place that knows which control holds
// which entry, what the lists offer and how a new letter starts.
class LetterForm : public QObject
{
    Q_OBJECT

public:
    LetterForm(Ui::Form1 &ui, QWidget *window);

    Letter letter() const;
    // Every entry and the check box; the offsets are left alone.
    void setLetter(const Letter &letter);
    // Both offset boxes as whole numbers; nothing, with the message naming the box, when one
    // cannot be used.
    std::optional<PrintOffset> offset(QString *error) const;

    // The PDF file's name without .pdf: 委任状, the first delegator's name and the letter's date
    // with the era shown, e.g. 委任状_株式会社ソラフ_令和8年12月07日; what is empty is left out.
    QString fileName(const Letter &letter) const;

    // The lists' items and what each starts with; the date lists start at today.
    void fillChoiceLists(const DateTexts &today);
    // 新規: every entry as at start, the date as today.
    void startNew(const DateTexts &today);
    // Nothing typed or picked since the entries were last as at start.
    bool isFresh() const { return letter() == m_fresh; }

    // The entries that offer the texts of earlier letters.
    static QList<Field> suggestingFields();
    // The texts by field key, in a popup to pick from; never completed inline.
    void offerEarlierTexts(const QHash<QString, QStringList> &texts);

signals:
    // An entry or the delegated matter's check box changed.
    void letterChanged();

private:
    void showDelegatedMatter();
    void setText(Field field, const QString &text);

    Ui::Form1 &m_ui;
    std::array<QWidget *, kFieldCount> m_fields;
    // What each list selects at start, for 新規; -1 for a field that is no list.
    std::array<int, kFieldCount> m_startSelections;
    Letter m_fresh;
};
