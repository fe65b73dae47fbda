#include "PortSwitch.h"

#include "SerialControl.h"
#include "app/Controls.h"
#include "app/MessageBoxes.h"
#include "app/MessageLine.h"
#include "app/PanelState.h"
#include "protocol/NumberText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

const QString PortSwitch::ClosedStatus = QStringLiteral("STATUS：COM Port Cloced");

namespace {

QString lineSettingsText(const QString& baud, const QString& parity, qint16 dataBits,
                         qint16 stopBits) {
    return baud + u',' + parity + u',' + QString::number(dataBits) + u',' +
           QString::number(stopBits);
}

} // namespace

PortSwitch::PortSwitch(PanelState& state, Controls& ui, SerialControl& comm, MessageLine& message,
                       const MessageBoxes& boxes)
    : state_(state), ui_(ui), comm_(comm), message_(message), boxes_(boxes) {}

void PortSwitch::CmdSwitch_Click() {
    state_.bPortOpen = comm_.PortOpen();
    if (state_.bPortOpen) {
        ClosePort();
    } else {
        Request request;
        if (!readSettings(request))
            return;
        ConfigureAndOpenPort(request);
        ReopenPortFromPanel();
    }
    state_.bPortOpen = comm_.PortOpen();
    ui_.ImgSwitchOff->setVisible(!comm_.PortOpen());
    ui_.ImgSwitchOn->setVisible(comm_.PortOpen());
    if (comm_.PortOpen())
        message_.clearNow();
}

bool PortSwitch::readSettings(Request& request) const {
    const auto dataBits = NumberText::wholeTextToInt16(ui_.CboDatabit->currentText());
    const auto stopBits = NumberText::wholeTextToInt16(ui_.CboStopbit->currentText());
    if (!dataBits || !stopBits)
        return false;
    request = {state_.MyOpenPort, ui_.CboBaudrate->currentText(),
               ui_.CboParitybit->currentText().left(1), *dataBits, *stopBits};
    return true;
}

bool PortSwitch::configure(const Request& request) {
    return comm_.setCommPort(request.port) &&
           comm_.setSettings(
               lineSettingsText(request.baud, request.parity, request.dataBits, request.stopBits));
}

void PortSwitch::ConfigureAndOpenPort(const Request& request) {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    if (!configure(request)) {
        message_.show(MessageLine::PortMissing);
        ClosePort();
        return;
    }
    comm_.setInBufferSize(1024);
    comm_.setOutBufferSize(1024);
    comm_.setInBufferCount(0);
    comm_.setOutBufferCount(0);
    comm_.setSThreshold(1);
    comm_.setRThreshold(1);
    comm_.setOutBufferCount(0);
    comm_.setInBufferCount(0);
    if (!comm_.setPortOpen(true)) {
        message_.show(MessageLine::PortMissing);
        ClosePort();
        return;
    }
    ui_.TxtStatus->setText(comm_.PortOpen() ? openStatus() : ClosedStatus);
}

void PortSwitch::ReopenPortFromPanel() {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    Request request;
    if (!readSettings(request))
        return;
    OpenPort(request);
}

void PortSwitch::OpenPort(const Request& request) {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    if (!configure(request) || !comm_.setPortOpen(true)) {
        boxes_.show(MessageBoxes::openFailed());
        ClosePort();
        return;
    }
    showOpenState(comm_.PortOpen());
}

void PortSwitch::ClosePort() {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    showOpenState(false);
}

void PortSwitch::PortLost() {
    ClosePort();
    state_.bPortOpen = false;
    message_.show(MessageLine::PortMissing);
}

void PortSwitch::showOpenState(bool open) {
    ui_.CmdSwitch->setText(open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
    ui_.ImgSwitchOn->setVisible(open);
    ui_.ImgSwitchOff->setVisible(!open);
    ui_.TxtStatus->setText(open ? openStatus() : ClosedStatus);
}

QString PortSwitch::openStatus() const {
    return QStringLiteral("STATUS：") + ui_.CboCom->currentText() + QStringLiteral(" OPEND，") +
           ui_.CboBaudrate->currentText() + u',' + ui_.CboParitybit->currentText().left(1) + u',' +
           ui_.CboDatabit->currentText() + u',' + ui_.CboStopbit->currentText();
}
