#include "VelmorMain.h"

#include "AppId.h"
#include "Pictures.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

namespace {

Controls builtControls(QWidget* window) {
    Controls ui;
    buildControls(window, ui);
    return ui;
}

} // namespace

VelmorMain::VelmorMain(std::unique_ptr<SerialControl> comm, PortDirectory ports, QWidget* parent)
    : QWidget(parent), ui_(builtControls(this)), ports_(std::move(ports)), comm_(std::move(comm)),
      boxes_(this), message_(state_, *ui_.msgLab),
      log_(state_, *ui_.TxtReceive, *ui_.TxtRXCount, *ui_.TxtTXCount),
      portList_(state_, ports_, *ui_.CboCom), portSwitch_(state_, ui_, *comm_, message_, boxes_),
      sender_(*comm_, log_, message_), rating_(state_, ui_),
      decoder_(state_, ui_, *comm_, log_, yield_, rating_),
      polling_(state_, ui_, *comm_, sender_, decoder_, yield_),
      setpoints_(state_, ui_, sender_, boxes_), switches_(state_, ui_, sender_),
      identity_(state_, ui_, *comm_, sender_, decoder_) {
    setObjectName(QStringLiteral("VelmorMain"));
    setWindowTitle(QStringLiteral("Velmor电源监控-V3.5"));
    // The installed icon has every size the desktop asks for; a build that is
    // not installed draws its own.
    setWindowIcon(QIcon::fromTheme(QLatin1String(AppId), Pictures::windowIcon()));
    // The operator cannot change the window's size.
    setFixedSize(Width, Height);
    Form_Load();
    wireEvents();
    ui_.TmrAutoSend->start();
}

VelmorMain::~VelmorMain() {
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
}

void VelmorMain::Form_Load() {
    state_.MsgDelayTime = 0;
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
    state_.bPortOpen = false;
    rating_.fillLists();
    state_.CVSetValueMin = 0.0;
    state_.CCSetValueMin = 0.0;
    state_.RxMsgStr.clear();
    portList_.fill();
    state_.RxMsgStr.clear();
}

void VelmorMain::wireEvents() {
    connect(ui_.TmrAutoSend, &QTimer::timeout, this, [this] { message_.TmrAutoSend_Timer(); });
    connect(ui_.SysTickTimer, &QTimer::timeout, this, [this] { polling_.SysTickTimer_Timer(); });

    connect(ui_.CboCom, &QComboBox::activated, this, [this] { portList_.CboCom_Click(); });
    connect(ui_.CboCom, &QComboBox::editTextChanged, this, [this] { portList_.CboCom_Change(); });
    connect(ui_.CmdSwitch, &QPushButton::clicked, this, [this] { portSwitch_.CmdSwitch_Click(); });
    connect(comm_.get(), &SerialControl::lineLost, this, [this] { portSwitch_.PortLost(); });
    connect(comm_.get(), &SerialControl::OnComm, this, [this] { decoder_.MSComm_OnComm(); });
    connect(comm_.get(), &SerialControl::bytesWritten, this,
            [this](qint64 count) { log_.countSent(count); });

    connect(ui_.Command1, &QToolButton::clicked, this, [this] { log_.Command1_Click(); });
    connect(ui_.CmdClearCounter, &QPushButton::clicked, this,
            [this] { log_.CmdClearCounter_Click(); });
    connect(ui_.SeekCmd, &QPushButton::clicked, this, [this] { polling_.SeekCmd_Click(); });
    connect(ui_.EndCmd, &QToolButton::clicked, this, [this] { EndCmd_Click(); });
    connect(ui_.EndCmd, &QToolButton::pressed, this,
            [this] { ui_.EndCmd->setIcon(QIcon(Pictures::redLamp())); });
    connect(ui_.EndCmd, &QToolButton::released, this,
            [this] { ui_.EndCmd->setIcon(QIcon(Pictures::darkLamp())); });

    connect(ui_.PowerTypeCombVol, &QComboBox::activated, this,
            [this] { rating_.PowerTypeCombVol_Click(); });
    connect(ui_.PowerTypeCombCur, &QComboBox::activated, this,
            [this] { rating_.PowerTypeCombCur_Click(); });

    connect(ui_.VOLSetCmd, &QPushButton::clicked, this, [this] { setpoints_.VOLSetCmd_Click(); });
    connect(ui_.CURSetCmd, &QPushButton::clicked, this, [this] { setpoints_.CURSetCmd_Click(); });
    connect(ui_.OVPSetCmd, &QPushButton::clicked, this, [this] { setpoints_.OVPSetCmd_Click(); });
    connect(ui_.OCPSetCmd, &QPushButton::clicked, this, [this] { setpoints_.OCPSetCmd_Click(); });

    connect(ui_.OutPutButton, &QToolButton::clicked, this,
            [this] { switches_.OutPutButton_Click(); });
    connect(ui_.ClrAlarmAmd, &QToolButton::clicked, this,
            [this] { switches_.ClrAlarmAmd_Click(); });
    // An option button's handler runs when it becomes selected, whether the
    // operator clicked it or the decoder selected it from code; selecting
    // the option already selected runs nothing.
    const auto onSelected = [this](QRadioButton* option, void (SupplySwitches::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool selected) {
            if (selected)
                (switches_.*handler)();
        });
    };
    onSelected(ui_.INDcmd, &SupplySwitches::INDcmd_Click);
    onSelected(ui_.PARcmd, &SupplySwitches::PARcmd_Click);
    onSelected(ui_.SERcmd, &SupplySwitches::SERcmd_Click);
    onSelected(ui_.OP1, &SupplySwitches::OP1_Click);
    onSelected(ui_.Op2, &SupplySwitches::Op2_Click);

    for (QWidget* w :
         {static_cast<QWidget*>(ui_.FrameVersion), static_cast<QWidget*>(ui_.LabVersion),
          static_cast<QWidget*>(ui_.Veries), static_cast<QWidget*>(ui_.LabSeries)})
        w->installEventFilter(this);
}

bool VelmorMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == ui_.FrameVersion)
            identity_.FrameVersion_DblClick();
        else if (watched == ui_.LabVersion)
            identity_.LabVersion_DblClick();
        else if (watched == ui_.Veries)
            identity_.Veries_DblClick();
        else if (watched == ui_.LabSeries)
            ignoreNextSeriesRelease_ = true;
        return true;
    }
    if (watched == ui_.LabSeries && type == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (ignoreNextSeriesRelease_) {
            ignoreNextSeriesRelease_ = false;
        } else if (mouse->button() == Qt::LeftButton &&
                   ui_.LabSeries->rect().contains(mouse->position().toPoint())) {
            identity_.LabSeries_Click();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void VelmorMain::EndCmd_Click() {
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
    close();
}
