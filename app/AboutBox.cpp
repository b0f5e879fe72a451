#include "AboutBox.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace korlin {
namespace {

QLabel* centred(const QString& text, QWidget* parent, const char* name, int top, int height, bool bold)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setGeometry(8, top, 329, height);
    l->setAlignment(Qt::AlignCenter);
    l->setWordWrap(true);
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(13);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

QPixmap programPicture()
{
    QPixmap pm(329, 243);
    pm.fill(QColor(166, 202, 240));
    QPainter p(&pm);
    p.setPen(QPen(QColor(0, 0, 128), 3));
    p.drawRect(40, 40, 249, 163);
    for (int i = 0; i < 6; ++i)
        p.fillRect(60 + 36 * i, 70, 24, 24, i % 2 ? QColor(0, 255, 0) : QColor(255, 255, 0));
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(28);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(40, 110, 249, 80), Qt::AlignCenter, QStringLiteral("Ш9327"));
    return pm;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("О программе."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);
    setFixedSize(360, 376);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 345, 313);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    centred(QStringLiteral("Ноябрь 2009г."), Panel1, "Version", 8, 16, true);
    centred(QStringLiteral("Диагностика и мониторинг Ш9327."), Panel1, "Comments", 26, 16, false);
    QLabel* maker = centred(QStringLiteral("Цех тепловой автоматики и измерений"), Panel1, "Copyright", 44, 16, true);
    QPalette mp = maker->palette();
    mp.setColor(QPalette::WindowText, Qt::blue);
    maker->setPalette(mp);
    auto* icon = new QLabel(Panel1);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(8, 62, 329, 243);
    icon->setScaledContents(true);
    icon->setPixmap(programPicture());

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(147, 335, 75, 25);
    OKButton->setDefault(true);
    OKButton->setCursor(Qt::PointingHandCursor);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    // The panel, its pictures and labels, and the OK button close the box on a press.
    Panel1->installEventFilter(this);
    for (QWidget* w : Panel1->findChildren<QWidget*>())
        w->installEventFilter(this);
    OKButton->installEventFilter(this);
}

void TAboutBox::OKButtonClick() { close(); }

void TAboutBox::keyPressEvent(QKeyEvent*) { close(); }

void TAboutBox::mousePressEvent(QMouseEvent*) { close(); }

bool TAboutBox::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress) {
        close();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

} // namespace korlin
