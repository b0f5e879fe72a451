// TMainForm1: the device commands (search, address query, state, address
// change, clock).  The logic is in link/; these apply it to the window.
#include "DeviceState.h"
#include "Formprogress.h"
#include "MainForm.h"

#include "ClosedPort.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>

namespace korlin {

Link TMainForm1::link()
{
    if (!hComm)
        hComm = std::make_unique<ClosedPort>("нет открытого порта");
    return Link{*hComm, services_.clock, services_.dialogs, portState_};
}

void TMainForm1::discoveryIn()
{
    disc_.MagAdr = settings_.MagAdr;
    disc_.ModbusMode = settings_.ModbusMode;
    disc_.NoMipPorts = services_.wide.NoMipPorts;
}

void TMainForm1::discoveryOut()
{
    settings_.MagAdr = disc_.MagAdr;
    settings_.ModbusMode = disc_.ModbusMode;
    services_.wide.NoMipPorts = disc_.NoMipPorts;
}

void TMainForm1::SearshMipComClick()
{
    discoveryIn();
    Link l = link();
    const SearchOutcome out = SearshMipCom(l, services_.log, buffers_->RxBuf, disc_, [this] {
        if (splash_)
            splash_->setPosition(splash_->position() + 2);
    });
    discoveryOut();
    if (out.Label3)
        Label3->setText(QString::fromStdString(*out.Label3));
    if (out.GroupBox1Caption)
        GroupBox1->setTitle(QString::fromStdString(*out.GroupBox1Caption));
    if (out.disableN3)
        menu("N3")->menuAction()->setEnabled(false);
}

void TMainForm1::SearshMagAdrClick()
{
    discoveryIn();
    Link l = link();
    const AddressOutcome out = SearshMagAdr(l, services_.log, buffers_->RxBuf, disc_);
    discoveryOut();
    if (out.Label3)
        Label3->setText(QString::fromStdString(*out.Label3));
}

void TMainForm1::Button_MIP_SostojanieClick()
{
    Link l = link();
    const StateView v = Button_MIP_Sostojanie(l, services_.log, buffers_->RxBuf, settings_.MagAdr, settings_.ModbusMode);
    QPalette p = LabelSostojanie->palette();
    p.setColor(QPalette::WindowText, QColor(v.font.r, v.font.g, v.font.b));
    p.setColor(QPalette::Window, QColor(v.background.r, v.background.g, v.background.b));
    LabelSostojanie->setPalette(p);
    LabelSostojanie->setText(QString::fromStdString(v.text));
}

void TMainForm1::SetMagAdrClick(int n)
{
    NewAdrByte = bus::addressByte(n);
    NewMagAdrClick();
}

void TMainForm1::NewMagAdrClick()
{
    Link l = link();
    const NewAddressOutcome out = NewMagAdr(l, buffers_->RxBuf, settings_.MagAdr, uint8_t(NewAdrByte));
    if (out.Label3)
        Label3->setText(QString::fromStdString(*out.Label3));
}

void TMainForm1::Write_TimeClick()
{
    Link l = link();
    Write_Time(l, settings_.MagAdr);
}

} // namespace korlin
