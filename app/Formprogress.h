#pragma once
// The splash window TForm2 that shows the start-up's progress.  Nothing
// pumps events during the start-up, so every change is painted at once.
#include <QWidget>

class QLabel;
class QProgressBar;

namespace korlin {

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    void setText(const QString& text); // LabelProgress
    void setPosition(int pos);         // ProgressBar1; above 100 shows as full
    int position() const { return position_; }
    void repaintNow();

    QLabel* Image1 = nullptr;
    QLabel* LabelProgress = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

private:
    int position_ = 0;
};

} // namespace korlin
