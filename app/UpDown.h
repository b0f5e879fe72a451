#pragma once
// A pair of arrows bound to an edit (TUpDown): a click moves the position
// within its range and shows it in the edit; released() follows the mouse
// release on either arrow.
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace korlin {

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent);
    int position() const { return position_; }
    void setPosition(int p);
    void step(int delta) { setPosition(position_ + delta); }
    QToolButton* up() const { return up_; }
    QToolButton* down() const { return down_; }
signals:
    void released();
private:
    QLineEdit* buddy_;
    int min_, max_, position_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace korlin
