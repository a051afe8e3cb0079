#include "ui/widgets/fulltexttip.h"

#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

class FullTextTip : public QObject
{
public:
    explicit FullTextTip(QLineEdit *edit)
        : QObject(edit), m_edit(edit), m_ownToolTip(edit->toolTip())
    {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &FullTextTip::update);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The width the text has, or the width it may take, changed.
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            update();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void update() { m_edit->setToolTip(tooWide() ? m_edit->text() : m_ownToolTip); }

    bool tooWide() const
    {
        QStyleOptionFrame frame;
        frame.initFrom(m_edit);
        frame.lineWidth =
            m_edit->hasFrame()
                ? m_edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, m_edit)
                : 0;
        const QRect inside =
            m_edit->style()->subElementRect(QStyle::SE_LineEditContents, &frame, m_edit);
        // QLineEdit keeps 2 pixels of air at each end.
        const int visible = inside.marginsRemoved(m_edit->textMargins()).width() - 4;
        return m_edit->fontMetrics().horizontalAdvance(m_edit->text()) > visible;
    }

    QLineEdit *m_edit;
    QString m_ownToolTip;
};

} // namespace

void showFullTextInToolTip(QLineEdit *edit)
{
    new FullTextTip(edit);
}
