#pragma once

// The window as the printing tests drive it: its letter fields in printing order, and all the
// user typed, chose or set, to see that a job changed none of it.

#include "fakes.h"
#include "window/mainwindow.h"
#include "window/updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include <memory>

struct LetterField
{
    const char *control;
    QString text;
};

// Japanese and Latin, each text one word and found nowhere else on the page.
inline const QList<LetterField> &letterFields()
{
    static const QList<LetterField> fields = {
        {"Combo10101", "委任太郎"},
        {"Combo10201", "抹消"},
        {"Combo10301", "7"},
        {"Combo10302", "11"},
        {"Combo10303", "30"},
        {"Text10501", "NZE141-9012345"},
        {"cIninFuriganaBtn", "カブシキガイシャソラフ"},
        {"IninShimei", "株式会社ソラフ"},
        {"Combo10601", "代表取締役"},
        {"DaihyouShimei", "山田一郎"},
        {"IninJyu1", "東京都千代田区霞が関1-1-1"},
        {"IninJyu2", "ABCビル3F"},
        {"Text10701", "ゴウドウガイシャ"},
        {"Text10702", "SORAFU-LLC"},
        {"Combo10701", "代表社員"},
        {"Text10703", "鈴木花子"},
        {"Text10704", "大阪市北区梅田2-2"},
        {"Text10705", "Umeda-Tower5F"},
        {"Text10801", "サンバン"},
        {"Text10802", "三番商事"},
        {"Combo10801", "取締役"},
        {"Text10803", "佐藤次郎"},
        {"Text10804", "名古屋市中区栄3-3"},
        {"Text10805", "Sakae-Bldg.2F"},
    };
    return fields;
}

inline QStringList letterTexts()
{
    QStringList texts;
    for (const LetterField &field : letterFields())
        texts << field.text;
    return texts;
}

// Sets the texts as the fields' own, without typing.
inline void fillLetter(MainWindow &window, const QStringList &texts)
{
    for (int i = 0; i < letterFields().size(); ++i) {
        QWidget *field =
            window.findChild<QWidget *>(QString::fromLatin1(letterFields()[i].control));
        if (auto *combo = qobject_cast<QComboBox *>(field))
            combo->setEditText(texts.value(i));
        else
            qobject_cast<QLineEdit *>(field)->setText(texts.value(i));
    }
}

inline QStringList windowState(MainWindow &window)
{
    QStringList state;
    for (const QLineEdit *edit : window.findChildren<QLineEdit *>())
        state << edit->objectName() + '=' + edit->text();
    for (const QComboBox *combo : window.findChildren<QComboBox *>())
        state << QStringLiteral("%1=%2 #%3 %4")
                     .arg(combo->objectName(), combo->currentText())
                     .arg(combo->currentIndex())
                     .arg(combo->isVisibleTo(&window));
    for (const QCheckBox *box : window.findChildren<QCheckBox *>())
        state << QStringLiteral("%1=%2").arg(box->objectName()).arg(box->isChecked());
    for (const UpDown *spin : window.findChildren<UpDown *>())
        state << QStringLiteral("%1=%2").arg(spin->objectName()).arg(spin->value());
    const Ui::Form1 &ui = window.ui();
    state << QStringLiteral("panel=%1 toggle=%2 '%3'")
                 .arg(ui.CyouseiFrm->isVisibleTo(&window))
                 .arg(ui.OnOffBtn->isChecked())
                 .arg(ui.OnOffBtn->text());
    return state;
}

// What is wrong with the messages shown, when it was not one message of that kind and title (a
// critical one under the program's title unless said) with every part in it.
inline QString notToldOnce(const FakeMessages &messages, const QStringList &parts,
                           const QString &kind = QStringLiteral("critical"),
                           const QString &title = QStringLiteral("ソラフ"))
{
    if (messages.shown.size() != 1)
        return QStringLiteral("%1 messages shown").arg(messages.shown.size());
    const FakeMessages::Shown &shown = messages.shown[0];
    bool whole = shown.kind == kind && shown.title == title;
    for (const QString &part : parts)
        whole &= shown.text.contains(part);
    return whole ? QString() : shown.kind + ' ' + shown.title + ": " + shown.text;
}

// A started window whose jobs go to `printing`.
inline std::unique_ptr<MainWindow> openWindow(FakeDesktop &desktop, Printing *printing,
                                              const QString &offsetDirectory)
{
    Services services = desktop.services(offsetDirectory);
    services.printing = printing;
    // Never the user's own settings.
    services.settingsPath = QDir(offsetDirectory).filePath(QStringLiteral("user.ini"));
    auto window = std::make_unique<MainWindow>(services);
    window->load();
    return window;
}
