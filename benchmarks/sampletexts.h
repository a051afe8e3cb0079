#pragma once

#include <QStringList>

// A full letter's 24 texts in print order, three delegators with long addresses: what the
// print benchmarks draw.
inline const QStringList kTexts = {"山田太郎",
                                   "名義変更",
                                   "7",
                                   "12",
                                   "31",
                                   "品川 500 あ 12-34",
                                   "やまだはなこ",
                                   "株式会社ソラフ自動車",
                                   "代表取締役",
                                   "山田花子",
                                   "東京都千代田区霞が関一丁目1番1号",
                                   "ソラフビル 3F",
                                   "すずきいちろう",
                                   "鈴木商事株式会社",
                                   "代表取締役",
                                   "鈴木一郎",
                                   "大阪府大阪市北区梅田2-2-2",
                                   "梅田センタービル 10階",
                                   "さとうじろう",
                                   "佐藤運輸合同会社",
                                   "代表社員",
                                   "佐藤次郎",
                                   "愛知県名古屋市中区栄3-3-3",
                                   "栄スクエア 201"};
