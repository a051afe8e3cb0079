#include "printing/papernames.h"

#include <QCoreApplication>

namespace {

const struct
{
    const char *pwg;
    const char *name;
} kPapers[] = {
    {"iso_a3_297x420mm", QT_TRANSLATE_NOOP("PaperNames", "A3")},
    {"iso_a4_210x297mm", QT_TRANSLATE_NOOP("PaperNames", "A4")},
    {"iso_a5_148x210mm", QT_TRANSLATE_NOOP("PaperNames", "A5")},
    {"iso_a6_105x148mm", QT_TRANSLATE_NOOP("PaperNames", "A6")},
    {"jis_b4_257x364mm", QT_TRANSLATE_NOOP("PaperNames", "B4（JIS）")},
    {"jis_b5_182x257mm", QT_TRANSLATE_NOOP("PaperNames", "B5（JIS）")},
    {"jis_b6_128x182mm", QT_TRANSLATE_NOOP("PaperNames", "B6（JIS）")},
    // Not the B sizes Japanese offices mean by B4 and B5.
    {"iso_b4_250x353mm", QT_TRANSLATE_NOOP("PaperNames", "B4（ISO）")},
    {"iso_b5_176x250mm", QT_TRANSLATE_NOOP("PaperNames", "B5（ISO）")},
    {"jpn_hagaki_100x148mm", QT_TRANSLATE_NOOP("PaperNames", "はがき")},
    {"jpn_oufuku_148x200mm", QT_TRANSLATE_NOOP("PaperNames", "往復はがき")},
    {"oe_photo-l_3.5x5in", QT_TRANSLATE_NOOP("PaperNames", "L判")},
    {"jpn_chou3_120x235mm", QT_TRANSLATE_NOOP("PaperNames", "長形3号封筒")},
    {"jpn_chou4_90x205mm", QT_TRANSLATE_NOOP("PaperNames", "長形4号封筒")},
    {"jpn_kaku2_240x332mm", QT_TRANSLATE_NOOP("PaperNames", "角形2号封筒")},
    {"jpn_you4_105x235mm", QT_TRANSLATE_NOOP("PaperNames", "洋形4号封筒")},
    {"na_letter_8.5x11in", QT_TRANSLATE_NOOP("PaperNames", "レター")},
    {"na_legal_8.5x14in", QT_TRANSLATE_NOOP("PaperNames", "リーガル")},
    {"na_ledger_11x17in", QT_TRANSLATE_NOOP("PaperNames", "タブロイド")},
    {"na_executive_7.25x10.5in", QT_TRANSLATE_NOOP("PaperNames", "エグゼクティブ")},
    {"na_number-10_4.125x9.5in", QT_TRANSLATE_NOOP("PaperNames", "封筒 Com10")},
    {"na_monarch_3.875x7.5in", QT_TRANSLATE_NOOP("PaperNames", "封筒 モナーク")},
    {"iso_dl_110x220mm", QT_TRANSLATE_NOOP("PaperNames", "封筒 DL")},
    {"iso_c5_162x229mm", QT_TRANSLATE_NOOP("PaperNames", "封筒 C5")},
};

} // namespace

QString paperName(const QString &pwgName, int widthMm, int heightMm)
{
    for (const auto &paper : kPapers)
        if (pwgName == QLatin1String(paper.pwg))
            return QCoreApplication::translate("PaperNames", paper.name);
    return QCoreApplication::translate("PaperNames", "その他の用紙（%1×%2 mm）")
        .arg(widthMm)
        .arg(heightMm);
}
