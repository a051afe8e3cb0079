#include "ui/widgets/displaysize.h"

#include "system/settings.h"

#include <QActionGroup>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

#include <algorithm>
#include <memory>

namespace {

const QString kDisplaySize = QStringLiteral("window/displaySize"); // percent
const int kPercents[] = {100, 125, 150, 200};
constexpr double kPlainDpi = 96;

// The size kept, else the largest one the screen's DPI reaches: 120 dpi is 125 %.
int startPercent(const QString &settingsPath, const QWidget *window)
{
    const int kept = openSettings(settingsPath)->value(kDisplaySize).toInt();
    if (std::find(std::begin(kPercents), std::end(kPercents), kept) != std::end(kPercents))
        return kept;
    const QScreen *screen = window->screen();
    const double dpi = screen ? screen->logicalDotsPerInch() : kPlainDpi;
    int percent = kPercents[0];
    for (int candidate : kPercents)
        if (dpi >= kPlainDpi * candidate / 100)
            percent = candidate;
    return percent;
}

} // namespace

DisplaySize::DisplaySize(QWidget *window, QPushButton *button, const QString &settingsPath)
    : QObject(window), m_window(window), m_button(button), m_settingsPath(settingsPath),
      m_size(window->size())
{
    // The form's controls, in the window or in its frames; the parts a control is built of
    // are placed by the control itself.
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (widget->isWindow())
            continue;
        QWidget *parent = widget->parentWidget();
        if (parent == window || qobject_cast<QGroupBox *>(parent))
            m_controls.append({widget, widget->geometry()});
        // The form's font and the few of their own; every other control inherits.
        if (widget->testAttribute(Qt::WA_SetFont))
            m_fonts.append({widget, widget->font()});
    }
    m_fonts.prepend({window, window->font()});

    auto *menu = new QMenu(button);
    auto *sizes = new QActionGroup(menu);
    const int percent = startPercent(settingsPath, window);
    for (int candidate : kPercents) {
        QAction *action = menu->addAction(tr("%1%").arg(candidate));
        action->setCheckable(true);
        action->setChecked(candidate == percent);
        action->setData(candidate);
        sizes->addAction(action);
        connect(action, &QAction::triggered, this, [this, candidate] { choose(candidate); });
    }
    button->setMenu(menu);
    apply(percent);
}

void DisplaySize::choose(int percent)
{
    apply(percent);
    openSettings(m_settingsPath)->setValue(kDisplaySize, percent);
}

void DisplaySize::apply(int percent)
{
    m_button->setText(tr("表示 %1%").arg(percent));
    if (percent == m_percent)
        return;
    m_percent = percent;
    const double factor = percent / 100.0;
    const auto scaled = [factor](int length) { return qRound(length * factor); };
    // Edges are rounded, not lengths: controls that meet at 100 % meet at every size.
    for (const Control &control : std::as_const(m_controls)) {
        const QRect &was = control.geometry;
        control.widget->setGeometry(
            QRect(QPoint(scaled(was.left()), scaled(was.top())),
                  QPoint(scaled(was.x() + was.width()) - 1, scaled(was.y() + was.height()) - 1)));
    }
    for (const OwnFont &own : std::as_const(m_fonts)) {
        QFont font = own.font;
        if (own.font.pointSizeF() > 0)
            font.setPointSizeF(own.font.pointSizeF() * factor);
        else
            font.setPixelSize(scaled(own.font.pixelSize()));
        own.widget->setFont(font);
    }
    // Grown or shrunk about its centre, and kept on the screen.
    const QPoint centre = m_window->geometry().center();
    m_window->setFixedSize(scaled(m_size.width()), scaled(m_size.height()));
    QPoint topLeft = centre - m_window->rect().center();
    if (const QScreen *screen = m_window->screen()) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(qBound(area.left(), topLeft.x(), area.right() + 1 - m_window->width()));
        topLeft.setY(qBound(area.top(), topLeft.y(), area.bottom() + 1 - m_window->height()));
    }
    m_window->move(topLeft);
}
