#include "offsets/calibration.h"

#include "core/numbers.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

struct CalibrationTexts
{
    Q_DECLARE_TR_FUNCTIONS(Calibration)
};

// Two ○ measured to 0.5 mm that differ by more lie differently on the sheet.
constexpr qint32 kLargestSpread = 5;

// The mean of two tenths, a half away from zero.
qint32 mean(qint32 a, qint32 b)
{
    const qint64 sum = qint64(a) + qint64(b);
    return qint32((sum + (sum < 0 ? -1 : 1)) / 2);
}

} // namespace

Calibration calibrate(const PrintOffset &current, const MarkDistance &left,
                      const MarkDistance &right)
{
    Calibration result{current, QString()};
    const qint64 across = std::llabs(qint64(left.right) - right.right);
    const qint64 down = std::llabs(qint64(left.down) - right.down);
    if (across > kLargestSpread || down > kLargestSpread) {
        result.problem =
            CalibrationTexts::tr(
                "左右の○のずれ方が 0.5 mm を超えて違います（左右に %1 mm・上下に %2 mm）。"
                "プリンタが用紙を伸び縮みさせているか、斜めに送っています。"
                "ズレの値では直せないため、ズレは変えていません。\n"
                "用紙ガイドが用紙にそろっているか、印刷の設定で拡大・縮小"
                "（用紙に合わせる）がオフになっているかを確かめてから、"
                "もう一度「○印の印刷」で確かめてください。")
                .arg(double(across) / 10.0, 0, 'f', 1)
                .arg(double(down) / 10.0, 0, 'f', 1);
        return result;
    }
    // A ○ that lies right of its mark needs the print moved left: the offset goes down.
    const qint64 leftRight = qint64(current.leftRight) - mean(left.right, right.right);
    const qint64 upDown = qint64(current.upDown) - mean(left.down, right.down);
    if (!withinOffsetRange(double(leftRight)) || !withinOffsetRange(double(upDown))) {
        result.problem =
            CalibrationTexts::tr(
                "新しいズレ（左右 %1・上下 %2）が、調整できる範囲（-1000～1000）を超えます。"
                "測った値と向き（右と下がプラス）を確かめてください。")
                .arg(leftRight)
                .arg(upDown);
        return result;
    }
    result.offset = {qint32(leftRight), qint32(upDown)};
    return result;
}
