#pragma once

#include <QPushButton>

// A push button whose caption wraps onto further lines when it is wider than the button,
// so a long caption on a narrow button ("プリンタ  設定") stays readable instead of clipped.
class WrapButton : public QPushButton
{
    Q_OBJECT

public:
    explicit WrapButton(QWidget *parent = nullptr) : QPushButton(parent) {}

protected:
    void paintEvent(QPaintEvent *event) override;
};
