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

// Words of Qt's file dialog that Qt 6.4's Japanese catalogue lacks.
class MissingQtTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        static const struct
        {
            const char *context;
            const char *source;
            const char *text;
        } kTexts[] = {
            {"QAbstractFileIconProvider", "Folder", "フォルダー"},
            {"QAbstractFileIconProvider", "Drive", "ドライブ"},
            {"QAbstractFileIconProvider", "Unknown", "不明"},
            {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
            {"QAbstractFileIconProvider", "Alias", "エイリアス"},
        };
        for (const auto &text : kTexts)
            if (qstrcmp(context, text.context) == 0 && qstrcmp(source, text.source) == 0)
                return QString::fromUtf8(text.text);
        return QString();
    }
};

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
    // Installed later, so asked first; what it has no words for goes on to Qt's catalogue.
    QCoreApplication::installTranslator(new MissingQtTexts(app));

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
