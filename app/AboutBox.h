#pragma once
// The about box: modeless, several at once, gone on any key or mouse press.
#include <QDialog>

class QFrame;
class QPushButton;

namespace korlin {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QFrame* Panel1 = nullptr;
    QPushButton* OKButton = nullptr;

public slots:
    void OKButtonClick();

protected:
    void keyPressEvent(QKeyEvent* e) override;   // FormKeyDown
    void mousePressEvent(QMouseEvent* e) override; // FormMouseDown
    bool eventFilter(QObject* o, QEvent* e) override; // Panel1MouseDown, also the OK button's
};

} // namespace korlin
