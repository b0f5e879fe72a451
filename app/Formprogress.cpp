#include "Formprogress.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

namespace korlin {
namespace {

// The splash picture: the converter's name on a plain panel.
QPixmap splashPicture()
{
    QPixmap pm(567, 340);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.fillRect(QRect(0, 250, 567, 90), QColor(0, 0, 128));
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(40);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 250, 567, 90), Qt::AlignCenter, QStringLiteral("Korlin — Ш9327"));
    return pm;
}

} // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Инициализация."));
    setCursor(Qt::CrossCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(567, 340);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 567, 340);
    Image1->setPixmap(splashPicture());

    LabelProgress = new QLabel(this);
    LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
    LabelProgress->setGeometry(21, 56, 523, 49);
    LabelProgress->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(27);
    f.setBold(true);
    LabelProgress->setFont(f);
    LabelProgress->setAutoFillBackground(true);
    QPalette lp = LabelProgress->palette();
    lp.setColor(QPalette::Window, Qt::blue);
    lp.setColor(QPalette::WindowText, Qt::yellow);
    LabelProgress->setPalette(lp);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(90, 152, 193, 40);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setCursor(Qt::WaitCursor);
    ProgressBar1->setToolTip(QStringLiteral("Указатель на загрузку программы."));
    ProgressBar1->setTextVisible(false);

    if (const QScreen* s = QApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void TForm2::setText(const QString& text) { LabelProgress->setText(text); }

void TForm2::setPosition(int pos)
{
    position_ = pos;
    ProgressBar1->setValue(std::clamp(pos, 0, 100));
    ProgressBar1->repaint();
}

void TForm2::repaintNow() { repaint(); }

} // namespace korlin
