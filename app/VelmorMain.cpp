#include "VelmorMain.h"

#include "Pictures.h"
#include "PortComboBox.h"
#include "protocol/NumberText.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
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
    : QWidget(parent), ui_(builtControls(this)), ports_(std::move(ports)),
      controller_(
          std::move(comm),
          [this](const RemoteAccess::Parts& parts, QString* error) {
              return remoteModule_.make(parts, error);
          },
          this),
      link_(controller_.link()), boxes_(this), message_(state_, *ui_.msgLab),
      logView_(link_.trafficLog(), *ui_.TxtReceive, *ui_.TxtRXCount, *ui_.TxtTXCount),
      portList_(state_, ports_, *ui_.CboCom), tools_(*this, controller_, ui_, message_, boxes_),
      remote_(*this, controller_, tools_.menu(), message_,
              RemoteControl::indicatorPlace(RecordingControl::indicatorPlace(ui_))) {
    setObjectName(QStringLiteral("VelmorMain"));
    setWindowTitle(tr("Velmor电源监控-V3.5"));
    // Drawn, not looked up in the icon theme: the installed icon is the same
    // drawing, and a theme look-up reads the theme's index and loads every
    // picture format, 5 ms and half a megabyte before the window shows.
    setWindowIcon(Pictures::windowIcon());
    // The operator cannot change the window's size.
    setFixedSize(Width, Height);
    wireLink();
    Form_Load();
    wireControls();
    ui_.TmrAutoSend->start();
}

VelmorMain::~VelmorMain() = default;

void VelmorMain::Form_Load() {
    state_.MsgDelayTime = 0;
    if (MSComm().PortOpen())
        (void)MSComm().setPortOpen(false);
    for (auto [list, items] : {std::pair{ui_.PowerTypeCombVol, &RatingLimits::VoltageRatings},
                               std::pair{ui_.PowerTypeCombCur, &RatingLimits::CurrentRatings}}) {
        list->clear();
        list->addItems(*items);
        list->setCurrentIndex(-1);
        list->clearEditText();
    }
    portList_.fill();
}

void VelmorMain::wireLink() {
    RatingLimits& rating = link_.rating();
    connect(&rating, &RatingLimits::voltageLimitsApplied, this,
            [this](const SetpointLimits& l) { showVoltageLimits(l); });
    connect(&rating, &RatingLimits::currentLimitsApplied, this,
            [this](const SetpointLimits& l) { showCurrentLimits(l); });

    Notices& notices = link_.notices();
    connect(&notices, &Notices::message, this,
            [this](const QString& text) { message_.show(text); });
    connect(&notices, &Notices::messageCleared, this, [this] { message_.clearNow(); });
    connect(&notices, &Notices::openFailed, this,
            [this] { boxes_.show(MessageBoxes::openFailed()); });
    connect(&notices, &Notices::outOfRange, this,
            [this] { boxes_.show(MessageBoxes::outOfRange()); });
    connect(&controller_, &RunController::switchOffFailed, this,
            [this] { message_.show(tr("关闭输出的命令未能发出，输出可能仍开着")); });

    PortSession& session = link_.portSession();
    connect(&session, &PortSession::statusShown, this, [this](const PortRequest& request) {
        ui_.TxtStatus->setText(statusText(true, request));
    });
    connect(&session, &PortSession::openStateShown, this,
            [this](bool open, const PortRequest& request) { showOpenState(open, request); });
    connect(&session, &PortSession::lampsShown, this, [this](bool open) { showLamps(open); });

    PollingCycle& polling = link_.polling();
    connect(&polling, &PollingCycle::pollingChanged, this, [this](bool polling) {
        ui_.SeekCmd->setText(polling ? Controls::tr("停止巡检") : Controls::tr("开始巡检"));
    });
    connect(&polling, &PollingCycle::ticked, this, [this](const QDateTime& now) {
        const QLocale locale;
        ui_.LblNewDate->setText(locale.toString(now.date(), QLocale::ShortFormat));
        ui_.LblNowTime->setText(locale.toString(now.time(), QLocale::LongFormat));
    });

    // The options follow the link's selection without running their click
    // handlers again: the link has sent what the selection means already.
    SupplySwitches& switches = link_.switches();
    connect(&switches, &SupplySwitches::outputShown, this, [this](OutputState state) {
        ui_.OutPutButton->setText(state == OutputState::On ? Controls::tr("关")
                                                           : Controls::tr("开"));
    });
    connect(&switches, &SupplySwitches::modeSelected, this, [this](TrackingMode mode) {
        QRadioButton* const options[] = {ui_.INDcmd, ui_.PARcmd, ui_.SERcmd};
        QRadioButton* option = options[int(mode)];
        const QSignalBlocker blocker(option);
        option->setChecked(true);
        ui_.OP1->setEnabled(mode == TrackingMode::Independent);
        ui_.Op2->setEnabled(mode == TrackingMode::Independent);
    });
    connect(&switches, &SupplySwitches::channelSelected, this, [this](int channel) {
        QRadioButton* option = channel == 2 ? ui_.Op2 : ui_.OP1;
        const QSignalBlocker blocker(option);
        option->setChecked(true);
    });

    connect(&link_.identity(), &IdentityQueries::queryStarted, this, [this](Quantity quantity) {
        (quantity == Quantity::Version ? ui_.LabVersion : ui_.LabSeries)->clear();
    });
    connect(&link_.model(), &SupplyModel::changed, this,
            [this](Quantity quantity, const QVariant& value) { showReading(quantity, value); });
}

void VelmorMain::wireControls() {
    connect(ui_.TmrAutoSend, &QTimer::timeout, this, [this] { message_.TmrAutoSend_Timer(); });

    connect(ui_.CboCom, &QComboBox::activated, this, [this] { portList_.CboCom_Click(); });
    connect(ui_.CboCom, &QComboBox::editTextChanged, this, [this] { portList_.CboCom_Change(); });
    // An adapter plugged in after start-up is listed when the list drops down.
    connect(ui_.CboCom, &PortComboBox::popupAboutToShow, this,
            [this] { rescanKeepingText(portList_, *ui_.CboCom); });
    connect(ui_.CmdSwitch, &QPushButton::clicked, this, [this] { CmdSwitch_Click(); });

    connect(ui_.Command1, &QToolButton::clicked, this, [this] { Command1_Click(); });
    connect(ui_.CmdClearCounter, &QPushButton::clicked, this, [this] { CmdClearCounter_Click(); });
    connect(ui_.SeekCmd, &QPushButton::clicked, this, [this] { SeekCmd_Click(); });
    connect(ui_.EndCmd, &QToolButton::clicked, this, [this] { EndCmd_Click(); });
    connect(ui_.EndCmd, &QToolButton::pressed, this,
            [this] { ui_.EndCmd->setIcon(QIcon(Pictures::redLamp())); });
    connect(ui_.EndCmd, &QToolButton::released, this,
            [this] { ui_.EndCmd->setIcon(QIcon(Pictures::darkLamp())); });

    // The limits are recomputed from what the rating lists show at the time,
    // also when a mode report recomputes them.
    RatingLimits& rating = link_.rating();
    rating.setVoltageRatingText(ui_.PowerTypeCombVol->currentText());
    rating.setCurrentRatingText(ui_.PowerTypeCombCur->currentText());
    connect(ui_.PowerTypeCombVol, &QComboBox::editTextChanged, this,
            [&rating](const QString& text) { rating.setVoltageRatingText(text); });
    connect(ui_.PowerTypeCombCur, &QComboBox::editTextChanged, this,
            [&rating](const QString& text) { rating.setCurrentRatingText(text); });
    connect(ui_.PowerTypeCombVol, &QComboBox::activated, this,
            [this] { PowerTypeCombVol_Click(); });
    connect(ui_.PowerTypeCombCur, &QComboBox::activated, this,
            [this] { PowerTypeCombCur_Click(); });

    connect(ui_.VOLSetCmd, &QPushButton::clicked, this, [this] { VOLSetCmd_Click(); });
    connect(ui_.CURSetCmd, &QPushButton::clicked, this, [this] { CURSetCmd_Click(); });
    connect(ui_.OVPSetCmd, &QPushButton::clicked, this, [this] { OVPSetCmd_Click(); });
    connect(ui_.OCPSetCmd, &QPushButton::clicked, this, [this] { OCPSetCmd_Click(); });

    connect(ui_.OutPutButton, &QToolButton::clicked, this, [this] { OutPutButton_Click(); });
    connect(ui_.ClrAlarmAmd, &QToolButton::clicked, this, [this] { ClrAlarmAmd_Click(); });
    // An option's handler runs when the operator selects it; selecting the
    // option already selected runs nothing.
    const auto onSelected = [this](QRadioButton* option, void (VelmorMain::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool selected) {
            if (selected)
                (this->*handler)();
        });
    };
    onSelected(ui_.INDcmd, &VelmorMain::INDcmd_Click);
    onSelected(ui_.PARcmd, &VelmorMain::PARcmd_Click);
    onSelected(ui_.SERcmd, &VelmorMain::SERcmd_Click);
    onSelected(ui_.OP1, &VelmorMain::OP1_Click);
    onSelected(ui_.Op2, &VelmorMain::Op2_Click);

    for (QWidget* w :
         {static_cast<QWidget*>(ui_.FrameVersion), static_cast<QWidget*>(ui_.LabVersion),
          static_cast<QWidget*>(ui_.Veries), static_cast<QWidget*>(ui_.LabSeries)})
        w->installEventFilter(this);
}

PortRequest VelmorMain::portRequest() const {
    const QString port = ui_.CboCom->currentText();
    PortRequest request{port,
                        state_.MyOpenPort,
                        ui_.CboBaudrate->currentText(),
                        ui_.CboParitybit->currentText(),
                        ui_.CboDatabit->currentText(),
                        ui_.CboStopbit->currentText(),
                        {}};
    if (!launchDevice_.isEmpty() && port == launchDevice_)
        request.device = ports_.deviceForText(port);
    return request;
}

void VelmorMain::CmdSwitch_Click() {
    controller_.switchPort(portRequest());
}

void VelmorMain::launch(const LaunchOptions& options) {
    if (options.settings) {
        ui_.CboBaudrate->setEditText(options.settings->baud);
        ui_.CboParitybit->setEditText(options.settings->parity);
        ui_.CboDatabit->setEditText(options.settings->dataBits);
        ui_.CboStopbit->setEditText(options.settings->stopBits);
    }
    if (!options.port.isEmpty()) {
        if (options.port.startsWith(u'/'))
            launchDevice_ = options.port;
        ui_.CboCom->setEditText(options.port);
    }
    QString error;
    const bool served =
        !options.metrics ||
        controller_.serveMetrics(*options.metrics, ui_.CboCom->currentText(), &error);
    controller_.launch(options, portRequest());
    if (options.scpiPort) {
        remote_.configure(*options.scpiPort, options.scpiListen);
        remote_.start();
    }
    // Said last, so that the opening of the port does not clear it.
    if (!served)
        message_.show(tr("指标服务未能启动：") + error);
}

QString VelmorMain::statusText(bool open, const PortRequest& request) {
    if (!open)
        return QStringLiteral("STATUS：COM Port Cloced");
    return QStringLiteral("STATUS：") + request.portText + QStringLiteral(" OPEND，") +
           settingsText(request);
}

void VelmorMain::showOpenState(bool open, const PortRequest& request) {
    ui_.CmdSwitch->setText(open ? Controls::tr("关闭串口") : Controls::tr("打开串口"));
    ui_.ImgSwitchOn->setVisible(open);
    ui_.ImgSwitchOff->setVisible(!open);
    ui_.TxtStatus->setText(statusText(open, request));
}

void VelmorMain::showLamps(bool open) {
    ui_.ImgSwitchOff->setVisible(!open);
    ui_.ImgSwitchOn->setVisible(open);
}

void VelmorMain::SeekCmd_Click() {
    controller_.togglePolling();
}

void VelmorMain::Command1_Click() {
    link_.trafficLog().empty();
}

void VelmorMain::CmdClearCounter_Click() {
    link_.trafficLog().resetCounters();
}

void VelmorMain::PowerTypeCombVol_Click() {
    link_.rating().applyVoltageRating();
}

void VelmorMain::PowerTypeCombCur_Click() {
    link_.rating().applyCurrentRating();
}

void VelmorMain::showVoltageLimits(const SetpointLimits& l) {
    using NumberText::blankPrefixed;
    ui_.VOLSetLab->setText(
        Controls::tr("恒压值范围:%1 -%2")
            .arg(blankPrefixed(l.CVSetValueMin), blankPrefixed(l.CVSetValueMax)));
    ui_.OVPSetLab->setText(
        Controls::tr("过压值范围:%1 -%2")
            .arg(blankPrefixed(l.OVPSetValueMin), blankPrefixed(l.OVPSetValueMax)));
    ui_.CVSetText->setText(NumberText::plainDecimal(l.CVSetValueMin));
    ui_.OVPSetText->setText(NumberText::plainDecimal(l.OVPSetValueMax));
    ui_.VOLSetCmd->setEnabled(true);
    ui_.OVPSetCmd->setEnabled(true);
}

void VelmorMain::showCurrentLimits(const SetpointLimits& l) {
    using NumberText::compactDecimal;
    ui_.CURSetLab->setText(
        Controls::tr("恒流值范围:%1 - %2")
            .arg(compactDecimal(l.CCSetValueMin), compactDecimal(l.CCSetValueMax)));
    ui_.OCPSetLab->setText(
        Controls::tr("过流值范围: %1 - %2")
            .arg(compactDecimal(l.OCPSetValueMin), compactDecimal(l.OCPSetValueMax)));
    ui_.CURSetCmd->setEnabled(true);
    ui_.OCPSetCmd->setEnabled(true);
    ui_.CCSetText->setText(compactDecimal(l.CCSetValueMin));
    ui_.OCPSetText->setText(compactDecimal(l.OCPSetValueMax));
}

void VelmorMain::VOLSetCmd_Click() {
    link_.setpoints().send(SetpointCommands::Setpoint::Voltage, ui_.CVSetText->text());
}

void VelmorMain::CURSetCmd_Click() {
    link_.setpoints().send(SetpointCommands::Setpoint::Current, ui_.CCSetText->text());
}

void VelmorMain::OVPSetCmd_Click() {
    link_.setpoints().send(SetpointCommands::Setpoint::OverVoltage, ui_.OVPSetText->text());
}

void VelmorMain::OCPSetCmd_Click() {
    link_.setpoints().send(SetpointCommands::Setpoint::OverCurrent, ui_.OCPSetText->text());
}

void VelmorMain::OutPutButton_Click() {
    link_.switches().toggleOutput();
}

void VelmorMain::INDcmd_Click() {
    link_.switches().selectMode(TrackingMode::Independent);
}

void VelmorMain::PARcmd_Click() {
    link_.switches().selectMode(TrackingMode::Parallel);
}

void VelmorMain::SERcmd_Click() {
    link_.switches().selectMode(TrackingMode::Series);
}

void VelmorMain::OP1_Click() {
    link_.switches().selectChannel(1);
}

void VelmorMain::Op2_Click() {
    link_.switches().selectChannel(2);
}

void VelmorMain::ClrAlarmAmd_Click() {
    link_.switches().clearAlarm();
}

void VelmorMain::FrameVersion_DblClick() {
    link_.identity().queryVersion();
}

void VelmorMain::LabVersion_DblClick() {
    FrameVersion_DblClick();
}

void VelmorMain::Veries_DblClick() {
    link_.identity().queryIdentification();
}

void VelmorMain::LabSeries_Click() {
    Veries_DblClick();
}

void VelmorMain::showReading(Quantity quantity, const QVariant& value) {
    QLabel* const readOuts[] = {ui_.ReadVolLab, ui_.ReadCurrentLab, ui_.CVLab,
                                ui_.CCLab,      ui_.OVPLab,         ui_.OCPLab};
    if (SupplyModel::isNumber(quantity)) {
        readOuts[int(quantity)]->setText(link_.model().reading(quantity).shown);
    } else if (quantity == Quantity::Version) {
        ui_.LabVersion->setText(value.toString());
    } else if (quantity == Quantity::Identification) {
        ui_.LabSeries->setText(value.toString());
    }
}

bool VelmorMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == ui_.FrameVersion)
            FrameVersion_DblClick();
        else if (watched == ui_.LabVersion)
            LabVersion_DblClick();
        else if (watched == ui_.Veries)
            Veries_DblClick();
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
            LabSeries_Click();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void VelmorMain::EndCmd_Click() {
    close();
}

void VelmorMain::closeEvent(QCloseEvent* event) {
    // The one way out: an owed output-off goes out while the port is still
    // open, ahead of anything a script client has waiting, then the port
    // closes.
    (void)controller_.finish();
    QWidget::closeEvent(event);
}
