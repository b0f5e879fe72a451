#pragma once
// The wait window TFormWait shown during a long exchange; it grows to its text.
#include <QDialog>

class QLabel;

namespace korlin {

class TFormWait : public QDialog {
    Q_OBJECT
public:
    // Shows itself at once.
    explicit TFormWait(QWidget* parent = nullptr);
    void setText(const QString& text); // Label1, then the window fits it
    void repaintNow();
    QLabel* Label1 = nullptr;
};

} // namespace korlin
