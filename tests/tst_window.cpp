// The window's own behaviour: where Tab goes, the check box and panel toggle, the spin controls
// and their boxes, the reading fields, the date lists and the exit question.

#include "windowfixture.h"

#include "ui/dialogs/messages.h"
#include "ui/preview/previewwindow.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QToolButton>

class TestWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<WindowFixture> m;
    Ui::Form1 *ui = nullptr;

private slots:
    void init()
    {
        m = std::make_unique<WindowFixture>();
        ui = &m->start();
        m->window->show();
        QVERIFY(QTest::qWaitForWindowActive(m->window.get()));
    }

    void secondInstance()
    {
        WindowFixture second;
        second.desktop.anotherInstance = true;
        second.start("abc\r\n", "<missing>");
        QVERIFY(!second.shown);
        // Only that, though a file is damaged; the missing file is still created.
        QCOMPARE(second.desktop.shown, {"warning|ソラフ|多重起動は、できません。"});
        QCOMPARE(second.desktop.raised, 1); // the running window comes to the front
        QCOMPARE(readFile(second.xPath()) + readFile(second.yPath()), QByteArray("abc\r\n"));
    }

    // No list completes inline: "1" typed in the month list must not print as "10".
    void typedStaysAsTyped()
    {
        ui->Combo10302->setFocus();
        ui->Combo10302->clearEditText();
        QTest::keyClicks(ui->Combo10302->lineEdit(), "1");
        QTest::keyClick(ui->Combo10302->lineEdit(), Qt::Key_Tab);
        QCOMPARE(ui->Combo10302->currentText(), "1");
    }

    void tabOrder_data()
    {
        QTest::addColumn<int>("opened"); // 1: the delegated matter ticked, 2: the panel open
        for (int opened : {0, 1, 2, 3})
            QTest::addRow("%d", opened) << opened;
    }
    void tabOrder()
    {
        QFETCH(int, opened);
        if (opened & 1)
            QTest::mouseClick(ui->Check10201, Qt::LeftButton);
        if (opened & 2)
            QTest::mouseClick(ui->OnOffBtn, Qt::LeftButton);
        QStringList order = QStringList{"Combo10101", "Check10201"} + kFieldControls.mid(2);
        if (opened & 1)
            order.insert(2, "Combo10201");
        order << QString(opened & 2
                             ? "IchiBtn HozonBtn Jyouge_Ytxt Sayuu_Xtxt OnOffBtn UpDownX UpDownY"
                             : "OnOffBtn")
                     .split(' ')
              << QString("InsatsuBtn zEndBtn PriDiaBtn ImejiBtn RirekiBtn ShinkiBtn Combo10101")
                     .split(' ');
        ui->Combo10101->setFocus(Qt::TabFocusReason);
        QStringList visited;
        while (visited.size() < order.size()) {
            // An editable list's focus sits on its inner line edit: name the list.
            QWidget *w = QApplication::focusWidget();
            visited << (w->objectName().isEmpty() ? w->parentWidget() : w)->objectName();
            QTest::keyClick(w, Qt::Key_Tab);
        }
        QCOMPARE(visited, order);
        // The list and the panel come with their switches, and the toggle says so.
        QCOMPARE(QString::number(ui->Combo10201->isVisible()) + ui->OnOffBtn->text(),
                 QString::number(opened & 1) + (opened & 2 ? "調整" : ""));
    }

    // The spin, its start, what is done (u/d: arrow clicked, U/D/L/R: arrow key), the value,
    // and how many changes it told of.
    void spins_data()
    {
        rows(R"(
            X up twice | X | 0 | uu | 20 | 2
            X at the top: no change | X | 1000 | u | 1000 | 0
            X near the top clamps | X | 995 | uu | 1000 | 1
            X keys | X | 0 | URDLL | -10 | 5
            Y reversed: up lowers | Y | 0 | u | -10 | 1
            Y reversed: down raises | Y | 40 | dd | 60 | 2
            Y reversed: stops at -1000 | Y | -1000 | uU | -1000 | 0)");
    }
    // Each step shows in the spin's own box at once, and only there.
    void spins()
    {
        QFETCH(QStringList, row);
        QTest::mouseClick(ui->OnOffBtn, Qt::LeftButton);
        UpDown *spin = row[0] == "X" ? ui->UpDownX : ui->UpDownY;
        spin->setValue(row[1].toInt());
        QSignalSpy changed(spin, &UpDown::changed);
        const QMap<QChar, Qt::Key> keys{
            {'U', Qt::Key_Up}, {'D', Qt::Key_Down}, {'L', Qt::Key_Left}, {'R', Qt::Key_Right}};
        for (const QChar action : row[2])
            keys.contains(action)
                ? QTest::keyClick(spin, keys[action])
                : QTest::mouseClick(action == 'u' ? spin->upButton() : spin->downButton(),
                                    Qt::LeftButton);
        QCOMPARE(spin->value(), row[3].toInt());
        QCOMPARE(changed.size(), row[4].toInt());
        QCOMPARE(ui->Sayuu_Xtxt->text() + ' ' + ui->Jyouge_Ytxt->text(),
                 row[0] == "X" ? row[3] + " 6" : "5 " + row[3]);
    }

    // The field, what is typed in two parts (the second before the first), what shows.
    void readingsInKatakana_data()
    {
        rows(R"(
            delegator 1: small, ゖ, marks | delegator1_reading | ぁゖ | かなゝゞ | カナヽヾァヶ
            delegator 2 | delegator2_reading | ゔ-A | ん | ンヴ-A
            delegator 3 | delegator3_reading | カナ | ぃ | ィカナ
            a name stays as typed | delegator1_name | ひら | がな | がなひら)");
    }
    // What an input method hands over becomes katakana; the cursor stays where it was.
    void readingsInKatakana()
    {
        QFETCH(QStringList, row);
        QLineEdit *edit = m->field(row[0]);
        edit->clear();
        for (const QString &part : {row[1], row[2]}) {
            QInputMethodEvent commit;
            commit.setCommitString(part);
            QApplication::sendEvent(edit, &commit);
            QCOMPARE(edit->cursorPosition(), part.size());
            edit->setCursorPosition(0);
        }
        QCOMPARE(edit->text(), row[3]);
    }

    // Today; the era, year, month and day the date lists start with.
    void dateListsStartToday_data()
    {
        rows(R"(
            first day of the year | 2004-01-01 | 平成 | 16 | 01 | 01
            last day of Heisei | 2019-04-30 | 平成 | 31 | 04 | 30
            Reiwa 1, not 元年 | 2019-05-01 | 令和 | 1 | 05 | 01
            last day of a month with 31 | 2026-12-31 | 令和 | 8 | 12 | 31)");
    }
    // The shown date and the hidden expiry date alike; the texts are set, not picked, even where
    // an item holds the same text, and the lists hold every month and day.
    void dateListsStartToday()
    {
        QFETCH(QStringList, row);
        WindowFixture other;
        other.desktop.date = QDate::fromString(row[0], Qt::ISODate);
        Ui::Form1 &ui = other.start();
        QCOMPARE(ui.Label10301->text() + ui.Label10401->text(), row[1] + row[1]);
        const QList<QComboBox *> lists{ui.Combo10301, ui.Combo10302, ui.Combo10303,
                                       ui.Combo10401, ui.Combo10402, ui.Combo10403};
        for (int i = 0; i < lists.size(); ++i) {
            QCOMPARE(lists[i]->currentText() + lists[i]->itemText(0),
                     row[2 + i % 3] + (i % 3 ? "01" : "16"));
            QCOMPARE(lists[i]->currentIndex(), -1);
            QCOMPARE(lists[i]->itemText(lists[i]->count() - 1),
                     QString("18 12 31").split(' ')[i % 3]);
        }
    }

    // A list's items and the one it selects, at start and again after 新規.
    void choiceLists_data()
    {
        rows(R"(
            delegated matter | delegated_matter | 名義変更,抹消,, | 0
            title 1 | delegator1_title | 代表取締役, | 1
            title 2 | delegator2_title | 代表取締役, | 1
            title 3 | delegator3_title | 代表取締役, | 1)");
    }
    void choiceLists()
    {
        QFETCH(QStringList, row);
        auto *list = static_cast<QComboBox *>(m->field(row[0])->parentWidget());
        for (bool renewed : {false, true}) {
            if (renewed) {
                list->setCurrentIndex(row[2] == "0");
                ui->ShinkiBtn->click();
            }
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            QCOMPARE(items.join(',') + '|' + QString::number(list->currentIndex()),
                     row[1] + '|' + row[2]);
        }
    }

    // 新規: every entry as at start and the date as today; the offsets stay.
    void newLetter()
    {
        m->fill();
        ui->Check10201->click();
        ui->ShinkiBtn->click();
        QStringList expected(kFieldCount, QString());
        expected[1] = "名義変更";
        expected[2] = "8";
        expected[3] = "12";
        expected[4] = "05";
        QCOMPARE(m->texts(), expected);
        QVERIFY(!ui->Check10201->isChecked() && !m->field("delegated_matter")->isVisible());
        QCOMPARE(ui->Sayuu_Xtxt->text(), "5");
    }

    // The preview is handed each change of an entry or an offset box, and why it cannot draw.
    void previewFollows()
    {
        ui->ImejiBtn->click();
        PreviewCanvas *canvas = m->window->preview()->canvas();
        m->field("vehicle_number")->setText("品川500");
        canvas->grab();
        // After the date: an empty entry and the unticked delegated matter draw nothing.
        QCOMPARE(canvas->drawn().value(3).text, "品川500");
        ui->Jyouge_Ytxt->setText("1x");
        canvas->grab();
        QVERIFY(canvas->drawn().isEmpty());
        QVERIFY(canvas->problem().startsWith("「上下のズレ」の値を使用できません。"));
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No keeps everything") << false;
        QTest::newRow("Yes quits") << true;
    }
    // Qt's own box as the clerk gets it: Japanese buttons, though the tests run in C.UTF-8.
    void exitQuestion()
    {
        QFETCH(bool, yes);
        QtMessages boxes(m->window.get());
        Services services = m->desktop.services(m->dir.path(), &m->printing);
        services.messages = &boxes;
        MainWindow window(services);
        window.ui().OnOffBtn->click();
        QStringList shown;
        QTimer::singleShot(0, [&shown, yes] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            shown << box->windowTitle() << box->text();
            for (QAbstractButton *button : box->buttons())
                shown << button->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QTest::mouseClick(window.ui().zEndBtn, Qt::LeftButton);
        QCOMPARE(shown, QStringList({"  ソラフ", "このプログラムを終了しますか？", "はい(&Y)",
                                     "いいえ(&N)"}));
        QCOMPARE(m->desktop.quits, int(yes));
        QVERIFY(window.ui().CyouseiFrm->isVisibleTo(&window)); // nothing changed on No
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
