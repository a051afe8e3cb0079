// The window's own behaviour: where Tab goes, the check box and panel toggle, the spin controls
// and their boxes, the reading fields, the date lists and the exit question.

#include "windowfixture.h"

#include "ui/dialogs/messages.h"
#include "ui/preview/previewwindow.h"

#include <QMenu>
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

    void captionsFit_data()
    {
        QTest::addColumn<int>("percent");
        for (int percent : {100, 125, 150, 200})
            QTest::addRow("%d%%", percent) << percent;
    }
    // At every display size, chosen and started again, the form grows as one: every caption is
    // whole, and "-1000" fits its box, in the one typeface every widget uses.
    void captionsFit()
    {
        QFETCH(int, percent);
        for (QAction *size : ui->HyoujiBtn->menu()->actions())
            if (size->data() == percent)
                size->trigger();
        ui = &m->start(); // kept for the next start
        QCOMPARE(m->window->size(), QSize(725, 506) * (percent / 100.0));
        QCOMPARE(ui->SayuuLabel->font().pointSizeF(), 8 * percent / 100.0);
        for (QLabel *label : m->window->findChildren<QLabel *>()) {
            const QRect ink = label->fontMetrics().tightBoundingRect(label->text());
            QVERIFY2(ink.right() < label->contentsRect().width() &&
                         label->fontMetrics().height() <= label->contentsRect().height(),
                     qPrintable(label->objectName() + ' ' + label->text()));
        }
        for (QLineEdit *box : {ui->Sayuu_Xtxt, ui->Jyouge_Ytxt}) {
            QStyleOptionFrame frame;
            frame.initFrom(box);
            frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
            const QRect inside =
                box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box);
            // QLineEdit keeps 2 pixels of air at each end; the cursor takes one.
            QVERIFY2(box->fontMetrics().horizontalAdvance("-1000") + 1 <=
                         inside.marginsRemoved(box->textMargins()).width() - 4,
                     qPrintable(box->objectName()));
        }
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
        const QString panel = "IchiBtn SokuteiBtn HozonBtn Jyouge_Ytxt Sayuu_Xtxt OnOffBtn "
                              "UpDownX UpDownY";
        order << QString(opened & 2 ? panel : "OnOffBtn").split(' ')
              << QString("InsatsuBtn zEndBtn PriDiaBtn ImejiBtn RirekiBtn IkkatsuBtn ShinkiBtn "
                         "HyoujiBtn")
                     .split(' ')
              << "Combo10101";
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

    // The spin, its start (and what its box holds), what is done (u/d: arrow clicked, U/D/L/R:
    // arrow key), the value, and how many changes it told of.
    void spins_data()
    {
        rows(R"(
            X up twice | X | 0 | uu | 20 | 2
            X at the top: no change | X | 1000 | u | 1000 | 0
            X near the top clamps | X | 995 | uu | 1000 | 1
            X keys | X | 0 | URDLL | -10 | 5
            Y reversed: up lowers | Y | 0 | u | -10 | 1
            Y reversed: down raises | Y | 40 | dd | 60 | 2
            Y reversed: stops at -1000 | Y | -1000 | uU | -1000 | 0
            Y steps from the 40 typed | Y | 0 40 | u | 30 | 1)");
    }
    // Each step shows in the spin's own box at once, and only there.
    void spins()
    {
        QFETCH(QStringList, row);
        QTest::mouseClick(ui->OnOffBtn, Qt::LeftButton);
        UpDown *spin = row[0] == "X" ? ui->UpDownX : ui->UpDownY;
        const QStringList start = row[1].split(' ');
        spin->setValue(start[0].toInt());
        if (start.size() > 1)
            (row[0] == "X" ? ui->Sayuu_Xtxt : ui->Jyouge_Ytxt)->setText(start[1]);
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

    // The field, what is typed in two parts (the second before the first), what shows, and
    // "tip" where the text is wider than the field and shows whole in its tooltip.
    void readingsInKatakana_data()
    {
        rows(R"(
            delegator 1: small, ゖ, marks | delegator1_reading | ぁゖ | かなゝゞ |
                カナヽヾァヶ
            delegator 2 | delegator2_reading | ゔ-A | ん | ンヴ-A
            delegator 3 | delegator3_reading | カナ | ぃ | ィカナ
            a name stays as typed | delegator1_name | ひら | がな | がなひら
            long: tooltip | delegator1_title | 取締役社長室長 | 代表 |
                代表取締役社長室長 | tip)");
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
        QCOMPARE(edit->toolTip(), row.size() > 4 ? row[3] : QString());
    }

    // What comes first after start-up; how often the history was started (painted or needed).
    void historyStart_data()
    {
        rows(R"(
            nothing yet | - | 0
            window painted | paint | 1
            a letter printed | InsatsuBtn | 1
            the history opened | RirekiBtn | 1
            another copy: never | another | 0)");
    }
    void historyStart()
    {
        QFETCH(QStringList, row);
        WindowFixture other;
        other.desktop.anotherInstance = row[0] == "another";
        other.start();
        if (row[0] == "paint" || row[0] == "another")
            other.window->show();
        else if (!row[0].isEmpty())
            other.window->findChild<QAbstractButton *>(row[0])->click();
        QTest::qWait(100);
        QCOMPARE(other.desktop.historiesStarted, row[1].toInt());
    }

    // Today; the era, year, month and day the date lists start with; the first and last year.
    void dateListsStartToday_data()
    {
        rows(R"(
            first day of the year | 2004-01-01 | 平成 | 16 | 01 | 01 | 15 17
            last day of Heisei | 2019-04-30 | 平成 | 31 | 04 | 30 | 30 32
            Reiwa 1, not 元年 | 2019-05-01 | 令和 | 1 | 05 | 01 | 1 2
            last day of a month with 31 | 2026-12-31 | 令和 | 8 | 12 | 31 | 7 9
            a year of this era, not of Heisei | 2026-05-07 | 令和 | 8 | 05 | 07 | 7 9)");
    }
    // The shown date and the hidden expiry date alike; the texts are set, not picked, even where
    // an item holds the same text; the lists hold every month and day, the years about today's.
    void dateListsStartToday()
    {
        QFETCH(QStringList, row);
        WindowFixture other;
        other.desktop.date = QDate::fromString(row[0], Qt::ISODate);
        Ui::Form1 &ui = other.start();
        QCOMPARE(ui.Label10301->text() + ui.Label10401->text(), row[1] + row[1]);
        const QList<QComboBox *> lists{ui.Combo10301, ui.Combo10302, ui.Combo10303,
                                       ui.Combo10401, ui.Combo10402, ui.Combo10403};
        const QStringList ends = (row[5] + " 01 12 01 31").split(' ');
        for (int i = 0; i < lists.size(); ++i) {
            QCOMPARE(lists[i]->currentText(), row[2 + i % 3]);
            QCOMPARE(lists[i]->currentIndex(), -1);
            QCOMPARE(lists[i]->itemText(0) + ' ' + lists[i]->itemText(lists[i]->count() - 1),
                     ends[2 * (i % 3)] + ' ' + ends[2 * (i % 3) + 1]);
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

    // 新規; the field Ctrl+Z is then pressed in; whether it brings the letter back, and the entry
    // the field's own undo brings back.
    void newLetter_data()
    {
        rows(R"(
            every entry as at start, the offsets kept | - | -
            Ctrl+Z where 新規 put the focus brings the letter back | Combo10101 | yes
            Ctrl+Z in a field it emptied is the field's | Text10501 | -)");
    }
    void newLetter()
    {
        QFETCH(QStringList, row);
        m->fill();
        ui->Check10201->click();
        ui->ShinkiBtn->click();
        if (!row[0].isEmpty())
            QTest::keySequence(m->window->findChild<QWidget *>(row[0]), QKeySequence::Undo);
        QStringList expected(kFieldCount, QString());
        expected[1] = "名義変更";
        expected[2] = "8";
        expected[3] = "12";
        expected[4] = "05";
        expected[5] = row[0] == "Text10501" ? kLetterTexts[5] : "";
        QCOMPARE(m->texts(), row[1].isEmpty() ? expected : kLetterTexts);
        QCOMPARE(m->field("delegated_matter")->isVisible(), !row[1].isEmpty());
        QCOMPARE(ui->Sayuu_Xtxt->text(), "5");
    }

    // The widget focused, the keys sent to it; the pages printed, whether the panel shows and
    // the left/right file, where 15 was typed. The focus stays where it was.
    void keys_data()
    {
        rows(R"(
            Ctrl+P from a field, every time | Text10501 | Ctrl+P, Ctrl+P | 委任状,委任状|0|5
            Ctrl+T twice closes the panel | IninShimei | Ctrl+T, Ctrl+T | |0|5
            Ctrl+M with the panel shown | Combo10101 | Ctrl+T, Ctrl+M | 位置合わせの○印|1|5
            Ctrl+M with the panel hidden does nothing | Combo10101 | Ctrl+M | |0|5
            Ctrl+S with the panel shown | Text10702 | Ctrl+T, Ctrl+S | |1|15
            after a print the focus is back on 印刷 | InsatsuBtn | Space | 委任状|0|5)");
    }
    void keys()
    {
        QFETCH(QStringList, row);
        ui->Sayuu_Xtxt->setText("15");
        m->window->findChild<QWidget *>(row[0])->setFocus();
        QWidget *focused = QApplication::focusWidget();
        const QKeySequence keys(row[1]);
        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(focused, keys[i].key(), keys[i].keyboardModifiers());
        QStringList titles;
        for (const QStringList &page : std::as_const(m->printing.pages))
            titles << page[0];
        QCOMPARE(titles.join(',') + '|' + QString::number(ui->CyouseiFrm->isVisible()) + '|' +
                     readFile(m->xPath()).trimmed(),
                 row[2]);
        QCOMPARE(QApplication::focusWidget(), focused);
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
        QVERIFY(canvas->problem().startsWith("「上下のズレ」の値を"
                                             "使用できません。"));
    }

    // The left/right box changed after start, unsaved; how the program is left; the answer; whether
    // it quit or closed, and the left/right file then.
    void exitQuestion_data()
    {
        rows(R"(
            No keeps everything | - | zEndBtn | いいえ(&N) | 0 | 5
            Yes quits | - | zEndBtn | はい(&Y) | 1 | 5
            unsaved offset: Yes saves, then quits | 15 | zEndBtn | はい(&Y) | 1 | 15
            unsaved offset: No quits unsaved | 15 | zEndBtn | いいえ(&N) | 1 | 5
            unsaved offset: the window's × asks too | 15 | × | キャンセル | 0 | 5)");
    }
    // Qt's own box as the clerk gets it: Japanese buttons, though the tests run in C.UTF-8.
    void exitQuestion()
    {
        QFETCH(QStringList, row);
        QtMessages boxes(m->window.get());
        Services services = m->desktop.services(m->dir.path(), &m->printing);
        services.messages = &boxes;
        MainWindow window(services);
        window.load();
        window.ui().OnOffBtn->click();
        if (!row[0].isEmpty())
            window.ui().Sayuu_Xtxt->setText(row[0]);
        QStringList shown;
        QTimer::singleShot(0, &window, [&shown, &row] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown << box->windowTitle() << box->text();
                for (QAbstractButton *button : box->buttons())
                    if ((shown << button->text()).last() == row[2])
                        button->click();
            }
        });
        if (row[1] == "×")
            QCOMPARE(window.close(), row[3] == "1");
        else
            QTest::mouseClick(window.ui().zEndBtn, Qt::LeftButton);
        // Unsaved offsets ask only their own question, with キャンセル first.
        QString asked = "  ソラフ|このプログラムを終了しますか？|";
        if (!row[0].isEmpty())
            asked = "ソラフ|ズレが保存されていません。"
                    "保存してから終了しますか？|キャンセル|";
        QCOMPARE(shown.join('|'), asked + "はい(&Y)|いいえ(&N)");
        QCOMPARE(m->desktop.quits, row[1] == "×" ? 0 : row[3].toInt());
        QCOMPARE(readFile(m->xPath()).trimmed(), row[4]);
        QVERIFY(window.ui().CyouseiFrm->isVisibleTo(&window)); // nothing changed on No
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
