// The window against its layout table: every control's name, kind, container, place, size,
// caption and input mode. One row a control, so a slip in any of them fails by name.

#include "fakes.h"
#include "window/mainwindow.h"
#include "window/updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QtTest>

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void window();
    void controls_data();
    void controls();
    void noOtherControls();
    void offsetBoxesBeforeStartUp();
    void spinRanges_data();
    void spinRanges();
    void expiryFrameInert();
    void inputModes_data();
    void inputModes();
    void captionsFit();
    void captionsFitInOtherLocales_data();
    void captionsFitInOtherLocales();

private:
    QTemporaryDir m_dir;
    FakeDesktop m_desktop;
    std::unique_ptr<MainWindow> m_window;
};

void TestForm::init()
{
    m_window = std::make_unique<MainWindow>(m_desktop.services(m_dir.path()));
}

void TestForm::cleanup()
{
    m_window.reset();
}

void TestForm::window()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ソラフ"));
    // 10875 x 7590 twips at 15 twips a pixel.
    QCOMPARE(m_window->size(), QSize(725, 506));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(m_window->windowIcon().availableSizes().contains(QSize(32, 32)));
}

void TestForm::controls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("inputMode");

    auto row = [](const char *name, const char *kind, const char *container, const QString &caption,
                  int left, int top, int width, int height, const char *inputMode) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(container)
                            << caption << QRect(left, top, width, height)
                            << QString::fromLatin1(inputMode);
    };
    row("Frame10801", "frame", "Form1", QStringLiteral("委任者"), 5520, 2790, 5025, 2475, "");
    row("Combo10801", "list", "Frame10801", QStringLiteral(""), 1560, 1200, 1515, 300, "hiragana");
    row("Text10803", "textbox", "Frame10801", QStringLiteral(""), 3180, 1200, 1695, 300,
        "hiragana");
    row("Text10805", "textbox", "Frame10801", QStringLiteral(""), 1560, 2040, 3315, 270,
        "hiragana");
    row("Text10804", "textbox", "Frame10801", QStringLiteral(""), 1560, 1620, 3315, 270,
        "hiragana");
    row("Text10802", "textbox", "Frame10801", QStringLiteral(""), 1560, 720, 3315, 270, "hiragana");
    row("Text10801", "textbox", "Frame10801", QStringLiteral(""), 1560, 300, 3315, 270, "katakana");
    row("Label10804", "label", "Frame10801", QStringLiteral("住所　："), 990, 1680, 615, 255, "");
    row("Label10803", "label", "Frame10801", QStringLiteral("※代表者氏名　："), 270, 1260, 1335,
        195, "");
    row("Label10802", "label", "Frame10801", QStringLiteral("氏名又は会社名　："), 90, 780, 1515,
        195, "");
    row("Label10801", "label", "Frame10801", QStringLiteral(" 　フリガナ　："), 540, 360, 1005, 195,
        "");
    row("Frame10701", "frame", "Form1", QStringLiteral("委任者"), 5520, 210, 5025, 2475, "");
    row("Combo10701", "list", "Frame10701", QStringLiteral(""), 1560, 1230, 1515, 300, "hiragana");
    row("Text10703", "textbox", "Frame10701", QStringLiteral(""), 3180, 1200, 1695, 300,
        "hiragana");
    row("Text10705", "textbox", "Frame10701", QStringLiteral(""), 1560, 2040, 3315, 270,
        "hiragana");
    row("Text10704", "textbox", "Frame10701", QStringLiteral(""), 1560, 1620, 3315, 270,
        "hiragana");
    row("Text10702", "textbox", "Frame10701", QStringLiteral(""), 1560, 720, 3315, 270, "hiragana");
    row("Text10701", "textbox", "Frame10701", QStringLiteral(""), 1560, 330, 3315, 270, "katakana");
    row("Label10704", "label", "Frame10701", QStringLiteral("住所　："), 990, 1680, 615, 255, "");
    row("Label10703", "label", "Frame10701", QStringLiteral("※代表者氏名　："), 270, 1260, 1335,
        195, "");
    row("Label10702", "label", "Frame10701", QStringLiteral("氏名又は会社名　："), 90, 780, 1515,
        195, "");
    row("Label10701", "label", "Frame10701", QStringLiteral(" 　フリガナ　："), 540, 360, 1005, 195,
        "");
    row("Frame10601", "frame", "Form1", QStringLiteral("委任者"), 360, 4860, 5025, 2565, "");
    row("Combo10601", "list", "Frame10601", QStringLiteral(""), 1560, 1200, 1515, 300, "hiragana");
    row("cIninFuriganaBtn", "list", "Frame10601", QStringLiteral(""), 1560, 300, 3315, 300,
        "katakana");
    row("IninShimei", "list", "Frame10601", QStringLiteral(""), 1560, 720, 3315, 300, "hiragana");
    row("DaihyouShimei", "list", "Frame10601", QStringLiteral(""), 3150, 1200, 1725, 300,
        "hiragana");
    row("IninJyu1", "list", "Frame10601", QStringLiteral(""), 1560, 1650, 3315, 300, "hiragana");
    row("IninJyu2", "list", "Frame10601", QStringLiteral(""), 1560, 2070, 3315, 300, "hiragana");
    row("Label10601", "label", "Frame10601", QStringLiteral(" 　フリガナ　："), 540, 360, 1005, 195,
        "");
    row("Label10602", "label", "Frame10601", QStringLiteral("氏名又は会社名　："), 90, 780, 1515,
        195, "");
    row("Label10603", "label", "Frame10601", QStringLiteral("※代表者氏名　："), 270, 1260, 1335,
        195, "");
    row("Label10604", "label", "Frame10601", QStringLiteral("住所　："), 990, 1680, 615, 255, "");
    row("Frame10501", "frame", "Form1", QStringLiteral("車台番号または登録番号"), 360, 3900, 5025,
        885, "");
    row("Text10501", "textbox", "Frame10501", QStringLiteral(""), 540, 300, 3945, 270, "off");
    row("Frame10401", "frame", "Form1", QStringLiteral("有効期限"), 360, 2640, 5025, 1215, "");
    row("Check10401", "check", "Frame10401", QStringLiteral("有効期限をつける"), 180, 300, 1695,
        195, "");
    row("Combo10401", "list", "Frame10401", QStringLiteral(""), 540, 720, 615, 300, "off");
    row("Combo10402", "list", "Frame10401", QStringLiteral(""), 1440, 720, 555, 300, "off");
    row("Combo10403", "list", "Frame10401", QStringLiteral(""), 2340, 720, 615, 300, "off");
    row("Label10401", "label", "Frame10401", QStringLiteral("平成"), 120, 780, 375, 195, "");
    row("Label10402", "label", "Frame10401", QStringLiteral("年"), 1200, 780, 195, 195, "");
    row("Label10403", "label", "Frame10401", QStringLiteral("月"), 2100, 780, 195, 195, "");
    row("Label10404", "label", "Frame10401", QStringLiteral("日"), 3060, 780, 135, 195, "");
    row("Frame10301", "frame", "Form1", QStringLiteral("日付"), 360, 1830, 5025, 765, "");
    row("Combo10301", "list", "Frame10301", QStringLiteral(""), 540, 270, 615, 300, "off");
    row("Combo10302", "list", "Frame10301", QStringLiteral(""), 1440, 270, 615, 300, "off");
    row("Combo10303", "list", "Frame10301", QStringLiteral(""), 2340, 270, 615, 300, "off");
    row("Label10301", "label", "Frame10301", QStringLiteral("平成"), 120, 330, 495, 195, "");
    row("Label10302", "label", "Frame10301", QStringLiteral("年"), 1200, 330, 255, 195, "");
    row("Label10303", "label", "Frame10301", QStringLiteral("月"), 2100, 330, 195, 195, "");
    row("Label10304", "label", "Frame10301", QStringLiteral("日"), 3000, 330, 195, 195, "");
    row("Frame10201", "frame", "Form1", QStringLiteral("　"), 360, 990, 5025, 795, "");
    row("Combo10201", "list", "Frame10201", QStringLiteral(""), 540, 300, 1995, 300, "hiragana");
    row("Check10201", "check", "Frame10201", QStringLiteral("※委任内容を特定する"), 210, 0, 2295,
        255, "");
    row("Frame10101", "frame", "Form1", QStringLiteral("委任状受任者氏名"), 360, 210, 5025, 735,
        "");
    row("Combo10101", "list", "Frame10101", QStringLiteral(""), 540, 270, 1995, 300, "hiragana");
    row("BtnFrm", "frame", "Form1", QStringLiteral(""), 5520, 6510, 5025, 915, "");
    row("PriDiaBtn", "button", "BtnFrm", QStringLiteral("プリンタ  設定　"), 750, 210, 975, 585,
        "");
    row("zEndBtn", "button", "BtnFrm", QStringLiteral("終了"), 3990, 210, 945, 585, "");
    row("InsatsuBtn", "button", "BtnFrm", QStringLiteral("印刷"), 1770, 210, 2175, 585, "");
    row("OnOffBtn", "toggle", "BtnFrm", QStringLiteral(""), 90, 210, 615, 585, "");
    row("ImejiBtn", "button", "Form1", QStringLiteral("印刷イメージ"), 2940, 1260, 1230, 390, "");
    row("CyouseiFrm", "frame", "Form1", QStringLiteral(""), 5520, 5250, 5025, 1275, "");
    row("UpDownY", "spin", "CyouseiFrm", QStringLiteral(""), 1680, 570, 240, 555, "");
    row("UpDownX", "spin", "CyouseiFrm", QStringLiteral(""), 2010, 210, 615, 240, "");
    row("Sayuu_Xtxt", "textbox", "CyouseiFrm", QStringLiteral("0"), 1080, 210, 555, 270, "off");
    row("Jyouge_Ytxt", "textbox", "CyouseiFrm", QStringLiteral("0"), 1080, 720, 555, 270, "off");
    row("HozonBtn", "button", "CyouseiFrm", QStringLiteral("ズレ保存"), 2040, 570, 615, 555, "");
    row("IchiBtn", "button", "CyouseiFrm", QStringLiteral("○印の印刷"), 2760, 570, 1155, 555, "");
    row("SayuuLabel", "label", "CyouseiFrm", QStringLiteral("左右のズレ："), 120, 240, 975, 195,
        "");
    row("JyougeLabel", "label", "CyouseiFrm", QStringLiteral("上下のズレ："), 90, 720, 975, 195,
        "");
}

static QString captionOf(QWidget *widget)
{
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        return frame->title();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return QString();
}

static bool isKind(QWidget *widget, const QString &kind)
{
    auto *button = qobject_cast<QPushButton *>(widget);
    auto *combo = qobject_cast<QComboBox *>(widget);
    if (kind == QLatin1String("frame"))
        return qobject_cast<QGroupBox *>(widget);
    if (kind == QLatin1String("label"))
        return qobject_cast<QLabel *>(widget);
    if (kind == QLatin1String("textbox"))
        return qobject_cast<QLineEdit *>(widget) && !widget->parentWidget()->inherits("QComboBox");
    if (kind == QLatin1String("list"))
        return combo && combo->isEditable() && combo->insertPolicy() == QComboBox::NoInsert &&
               combo->count() == 0;
    if (kind == QLatin1String("check"))
        return qobject_cast<QCheckBox *>(widget);
    if (kind == QLatin1String("button"))
        return button && !button->isCheckable();
    if (kind == QLatin1String("toggle"))
        return button && button->isCheckable() && !button->isChecked();
    if (kind == QLatin1String("spin"))
        return qobject_cast<UpDown *>(widget);
    return false;
}

void TestForm::controls()
{
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget *widget = m_window->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QVERIFY2(isKind(widget, kind), qPrintable(widget->metaObject()->className()));
    QCOMPARE(widget->parentWidget()->objectName(), container);
    const QRect pixels = widget->geometry();
    QCOMPARE(QRect(pixels.x() * 15, pixels.y() * 15, pixels.width() * 15, pixels.height() * 15),
             twips);
    QCOMPARE(captionOf(widget), caption);
}

void TestForm::noOtherControls()
{
    // Frames hold only the controls of the table; the generated form adds nothing of its own.
    int named = 0;
    for (QWidget *child : m_window->findChildren<QWidget *>()) {
        QWidget *parent = child->parentWidget();
        if (parent == m_window.get() || qobject_cast<QGroupBox *>(parent)) {
            QVERIFY2(!child->objectName().isEmpty(), child->metaObject()->className());
            ++named;
        }
    }
    QCOMPARE(named, 73 + 2); // and the notice line, the buttons 印刷履歴 and 新規
}

void TestForm::offsetBoxesBeforeStartUp()
{
    QCOMPARE(m_window->ui().Sayuu_Xtxt->text(), QStringLiteral("0"));
    QCOMPARE(m_window->ui().Jyouge_Ytxt->text(), QStringLiteral("0"));
    QCOMPARE(m_window->ui().UpDownX->value(), 0);
    QCOMPARE(m_window->ui().UpDownY->value(), 0);
}

void TestForm::spinRanges_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<Qt::Orientation>("orientation");
    QTest::newRow("UpDownX") << "UpDownX" << -1000 << 1000 << Qt::Horizontal;
    // Reversed: the up arrow moves towards -1000, so the print moves up.
    QTest::newRow("UpDownY") << "UpDownY" << 1000 << -1000 << Qt::Vertical;
}

void TestForm::spinRanges()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(Qt::Orientation, orientation);
    auto *spin = m_window->findChild<UpDown *>(name);
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->maximum(), maximum);
    QCOMPARE(spin->singleStep(), 10);
    QCOMPARE(spin->orientation(), orientation);
}

void TestForm::expiryFrameInert()
{
    Ui::Form1 &ui = m_window->ui();
    QVERIFY(!ui.Frame10401->isEnabled());
    QVERIFY(!ui.Check10401->isEnabled());
    QVERIFY(!ui.Frame10401->isHidden());
}

void TestForm::inputModes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("inputMethod");
    QTest::addColumn<QString>("shown");

    QTest::newRow("off: chassis number") << "Text10501"
                                         << "AB-12" << false << "AB-12";
    QTest::newRow("off: offset") << "Sayuu_Xtxt"
                                 << "-30" << false << "0-30";
    QTest::newRow("off: date list") << "Combo10301"
                                    << "8" << false << "8";
    QTest::newRow("hiragana: name") << "IninShimei"
                                    << "やまだ" << true << "やまだ";
    QTest::newRow("hiragana: address") << "Text10704"
                                       << "とうきょう" << true << "とうきょう";
    QTest::newRow("katakana: reading 1") << "cIninFuriganaBtn"
                                         << "やまだ たろう" << true << "ヤマダ タロウ";
    QTest::newRow("katakana: reading 2") << "Text10701"
                                         << "きゃっと" << true << "キャット";
    QTest::newRow("katakana: keeps others") << "Text10801"
                                            << "abcゔー1" << true << "abcヴー1";
}

void TestForm::inputModes()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(bool, inputMethod);
    QFETCH(QString, shown);

    QWidget *widget = m_window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QLineEdit *edit = qobject_cast<QLineEdit *>(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        edit = combo->lineEdit();
    QVERIFY(edit);
    QCOMPARE(widget->testAttribute(Qt::WA_InputMethodEnabled), inputMethod);
    QCOMPARE(edit->testAttribute(Qt::WA_InputMethodEnabled), inputMethod);

    edit->setCursorPosition(edit->text().size());
    if (inputMethod) {
        // Committed text from an input method arrives as one edit.
        QInputMethodEvent commit;
        commit.setCommitString(typed);
        QCoreApplication::sendEvent(edit, &commit);
    } else {
        QTest::keyClicks(edit, typed);
    }
    QCOMPARE(edit->text(), shown);
}

// What the clerk sees is whole: no label's ink goes beyond the label, and the widest offset
// fits its box without scrolling (QLineEdit keeps 2 pixels of air inside each end).
void TestForm::captionsFit()
{
    QVERIFY(m_window->load()); // today's era in the date label
    for (QLabel *label : m_window->findChildren<QLabel *>()) {
        const QFontMetrics metrics = label->fontMetrics();
        const QRect ink = metrics.tightBoundingRect(label->text());
        QVERIFY2(ink.right() < label->contentsRect().width() &&
                     metrics.height() <= label->contentsRect().height(),
                 qPrintable(QStringLiteral("%1 %2: %3 in %4")
                                .arg(label->objectName(), label->text())
                                .arg(ink.right() + 1)
                                .arg(label->contentsRect().width())));
    }
    for (QLineEdit *box : {m_window->ui().Sayuu_Xtxt, m_window->ui().Jyouge_Ytxt}) {
        QStyleOptionFrame frame;
        frame.initFrom(box);
        frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
        const QRect contents =
            box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box);
        const int room = contents.marginsRemoved(box->textMargins()).width() - 2 * 2;
        const int used =
            box->fontMetrics().horizontalAdvance(QStringLiteral("-1000")) + 1; // cursor
        QVERIFY2(
            used <= room,
            qPrintable(QStringLiteral("%1: %2 in %3").arg(box->objectName()).arg(used).arg(room)));
    }
}

void TestForm::captionsFitInOtherLocales_data()
{
    QTest::addColumn<QString>("lang");
    QTest::newRow("ja_JP.UTF-8") << "ja_JP.UTF-8";
    QTest::newRow("en_US.UTF-8") << "en_US.UTF-8";
}

// The locale picks fontconfig's fallbacks: the same measures in a process of its own.
void TestForm::captionsFitInOtherLocales()
{
    QFETCH(QString, lang);
    QProcess self;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.insert(QStringLiteral("LANG"), lang);
    self.setProcessEnvironment(environment);
    self.setProcessChannelMode(QProcess::MergedChannels);
    self.start(QCoreApplication::applicationFilePath(), {QStringLiteral("captionsFit")});
    QVERIFY(self.waitForFinished(60000));
    QVERIFY2(self.exitCode() == 0, self.readAll().constData());
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
