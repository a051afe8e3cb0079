#include "ui/dialogs/japaneseui.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// IPA P Gothic (fonts-ipafont-gothic): proportional kana, so the window's captions fit the
// labels the layout fixes, and Latin digits of its own.
const QString kFamily = QStringLiteral("IPAPGothic");
const QString kCatalogue = QStringLiteral("qtbase_ja");

} // namespace

void useJapaneseUi()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || app->findChild<QTranslator *>(kCatalogue))
        return;
    auto *translator = new QTranslator(app);
    translator->setObjectName(kCatalogue);
    // Without the catalogue Qt's texts stay English; everything else still works.
    if (translator->load(kCatalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);

    // Dates, sizes and file types in Qt's dialogs. Numbers the clerk types are read by the
    // system locale (system/numbers), which this does not change.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    QFont font(kFamily, 9);
    font.setStyleHint(QFont::SansSerif);
    // Dialogs and menus take this; the main window's form gives its own size.
    QApplication::setFont(font);
    // The panel toggle names the Windows font of its design, which Linux does not have.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), kFamily);
}
