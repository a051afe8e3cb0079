#pragma once

#include <QWidget>

class QToolButton;

// A pair of arrow buttons that step a whole number within a range. The "up" arrow (up or
// right) always moves the value towards maximum(), so a range whose minimum is larger than
// its maximum makes the up arrow lower the value. It keeps no text of its own: whoever
// shows the value listens to changed().
class UpDown : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY changed)
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int singleStep READ singleStep WRITE setSingleStep)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation)

public:
    explicit UpDown(QWidget *parent = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int singleStep() const { return m_step; }
    Qt::Orientation orientation() const { return m_orientation; }

    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setSingleStep(int step);
    void setOrientation(Qt::Orientation orientation);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

public slots:
    // Values outside the range are clamped to its nearer end.
    void setValue(int value);
    void stepUp();
    void stepDown();

signals:
    void changed(int value);
    // Before an arrow steps: a slot may set the value to step from.
    void aboutToStep();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void stepBy(int direction);
    void placeButtons();
    void updateArrows();

    QToolButton *m_up;
    QToolButton *m_down;
    int m_value = 0;
    int m_minimum = 0;
    // An empty range at 0 until the form sets one, so the order in which minimum and maximum
    // are set cannot drag the value away from 0.
    int m_maximum = 0;
    int m_step = 1;
    Qt::Orientation m_orientation = Qt::Vertical;
};
