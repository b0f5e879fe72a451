#include "Unitformwait.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace korlin {

TFormWait::TFormWait(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormWait"));
    setWindowTitle(QStringLiteral("Работа программы!"));
    setCursor(Qt::WaitCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::yellow);
    setPalette(pal);
    setAutoFillBackground(true);
    Label1 = new QLabel(QStringLiteral("Ждите !"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(20);
    Label1->setFont(f);
    auto* lay = new QVBoxLayout(this);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    lay->addWidget(Label1);
    show();
    repaintNow();
}

void TFormWait::setText(const QString& text)
{
    Label1->setText(text);
    adjustSize();
    if (const QScreen* s = QApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void TFormWait::repaintNow() { repaint(); }

} // namespace korlin
