#include "UpDown.h"

#include <QLineEdit>
#include <QToolButton>

namespace korlin {

UpDown::UpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(position)
{
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::pressed, this, [this] { step(1); });
    connect(down_, &QToolButton::pressed, this, [this] { step(-1); });
    connect(up_, &QToolButton::released, this, &UpDown::released);
    connect(down_, &QToolButton::released, this, &UpDown::released);
    setPosition(position);
}

void UpDown::setPosition(int p)
{
    position_ = std::clamp(p, min_, max_);
    if (buddy_)
        buddy_->setText(QString::number(position_));
    const int h = height() > 0 ? height() : 21;
    up_->setGeometry(0, 0, width() > 0 ? width() : 15, h / 2);
    down_->setGeometry(0, h / 2, width() > 0 ? width() : 15, h - h / 2);
}

} // namespace korlin
