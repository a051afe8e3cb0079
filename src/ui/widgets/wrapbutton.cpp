#include "ui/widgets/wrapbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void WrapButton::paintEvent(QPaintEvent *event)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) / 2;
    const QRect textArea = rect().adjusted(margin, 0, -margin, 0);
    if (option.fontMetrics.horizontalAdvance(text()) <= textArea.width()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    // Two lines, broken where the caption has its blank ("プリンタ  設定"), else in the middle
    // ("ズレ保存"): a break wherever the line is full would leave one kanji alone.
    QString caption = text().simplified();
    const int blank = caption.indexOf(QLatin1Char(' '));
    const int split = blank >= 0 ? blank : int(caption.size()) / 2;
    caption = caption.left(split) + QLatin1Char('\n') + caption.mid(split + (blank >= 0 ? 1 : 0));
    painter.drawText(textArea, Qt::AlignCenter, caption);
}
