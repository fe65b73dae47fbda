#include "ScpiSession.h"

#include "ScpiMeter.h"
#include "protocol/NumberText.h"
#include "supply/SupplyLink.h"

#include <QTcpSocket>

#include <cmath>
#include <memory>

namespace {

using Scpi::Header;

// A reply text from the supply as one line of printable text.
QString asLine(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return text;
}

QString valueText(const QVariant& value) {
    if (value.userType() == qMetaTypeId<OutputState>())
        return value.value<OutputState>() == OutputState::On ? QStringLiteral("1")
                                                             : QStringLiteral("0");
    if (value.userType() == qMetaTypeId<TrackingMode>())
        return QString::number(int(value.value<TrackingMode>()));
    if (value.userType() == QMetaType::Double)
        return NumberText::plainDecimal(value.toDouble());
    if (value.userType() == QMetaType::Int)
        return QString::number(value.toInt());
    return asLine(value.toString());
}

QString peerName(const QTcpSocket& socket) {
    const QHostAddress address = socket.peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + address.toString() + u']'
                             : address.toString();
    return host + u':' + QString::number(socket.peerPort());
}

} // namespace

ScpiSession::ScpiSession(SupplyLink& link, EnergyMeter& meter, std::function<void()> safeState,
                         QTcpSocket* socket, QObject* parent)
    : QObject(parent), link_(link), meter_(meter), socket_(socket),
      watchdog_(link.model(), peerName(*socket), std::move(safeState)) {
    socket_->setParent(this);
    // A reply is one short line awaited by the client: send it at once.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &ScpiSession::readLines);
    connect(socket_, &QTcpSocket::disconnected, this, &ScpiSession::drop);
    connect(socket_, &QTcpSocket::errorOccurred, this, &ScpiSession::drop);
}

void ScpiSession::drop() {
    // A reply on its way to this client is still taken off the line by the
    // queue, and then dropped.
    pending_.clear();
    disconnect(socket_, nullptr, this, nullptr);
    socket_->abort();
    watchdog_.connectionLost();
    deleteLater();
}

void ScpiSession::readLines() {
    inbox_ += socket_->readAll();
    watchdog_.heard();
    for (;;) {
        const qsizetype lf = inbox_.indexOf('\n');
        if (lf < 0 ? inbox_.size() > MaxLine : lf > MaxLine) {
            drop();
            return;
        }
        if (lf < 0)
            break;
        QByteArray line = inbox_.left(lf);
        inbox_.remove(0, lf + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        const QList<Scpi::Parsed> commands = Scpi::parseLine(QString::fromLatin1(line));
        if (commands.isEmpty())
            continue;
        if (pending_.size() + commands.size() > MaxPending) {
            pushError(Scpi::QueueOverflow);
            continue;
        }
        for (qsizetype i = 0; i < commands.size(); ++i)
            pending_.push_back({commands[i], i + 1 == commands.size()});
    }
    runPending();
}

void ScpiSession::runPending() {
    if (running_)
        return;
    running_ = true;
    while (!waiting_ && !pending_.empty()) {
        const Pending next = pending_.front();
        pending_.pop_front();
        if (next.parsed.command)
            run(*next.parsed.command);
        else
            pushError(next.parsed.error);
        if (next.endsLine) {
            if (waiting_)
                pending_.push_front({{std::nullopt, Scpi::NoError}, true});
            else
                endLine();
        }
    }
    running_ = false;
}

void ScpiSession::resumed() {
    waiting_ = false;
    runPending();
}

void ScpiSession::endLine() {
    if (answers_.isEmpty())
        return;
    socket_->write((answers_.join(u';') + u'\n').toLatin1());
    answers_.clear();
    if (socket_->bytesToWrite() > MaxUnread)
        drop();
}

void ScpiSession::answer(const QString& text) {
    answers_.append(text);
}

void ScpiSession::pushError(int code) {
    if (code == Scpi::NoError)
        return;
    if (int(errors_.size()) >= MaxErrors) {
        errors_.back() = Scpi::QueueOverflow;
        return;
    }
    errors_.push_back(code);
}

void ScpiSession::run(const Scpi::Command& c) {
    switch (c.header) {
    case Header::Identify:
        read(Quantity::Identification);
        break;
    case Header::ClearStatus:
        errors_.clear();
        break;
    case Header::OperationComplete:
        // Commands run one at a time: all before this one are complete.
        if (c.query)
            answer(QStringLiteral("1"));
        break;
    case Header::Wait:
        break;
    case Header::SystemError:
        answer(Scpi::errorReply(errors_.empty() ? Scpi::NoError : errors_.front()));
        if (!errors_.empty())
            errors_.pop_front();
        break;
    case Header::SystemVersion:
        read(Quantity::Version);
        break;
    case Header::MeasureVoltage:
        read(Quantity::MeasuredVoltage);
        break;
    case Header::MeasureCurrent:
        read(Quantity::MeasuredCurrent);
        break;
    case Header::MeasurePower:
        measurePower();
        break;
    case Header::FetchVoltage:
        fetch(Quantity::MeasuredVoltage);
        break;
    case Header::FetchCurrent:
        fetch(Quantity::MeasuredCurrent);
        break;
    case Header::Voltage:
    case Header::Current:
    case Header::VoltageProtection:
    case Header::CurrentProtection: {
        static constexpr Quantity readBack[] = {Quantity::SetVoltage, Quantity::SetCurrent,
                                                Quantity::OverVoltage, Quantity::OverCurrent};
        const int setpoint = int(c.header) - int(Header::Voltage);
        if (c.query)
            read(readBack[setpoint]);
        else
            setNumber(setpoint, c.argument);
        break;
    }
    case Header::Output:
        if (c.query) {
            read(Quantity::Output);
        } else if (const auto on = Scpi::boolean(c.argument)) {
            command([this, on] {
                return link_.switches().setOutput(*on ? OutputState::On : OutputState::Off);
            });
        } else {
            pushError(Scpi::IllegalParameterValue);
        }
        break;
    case Header::OutputProtectionClear:
        command([this] {
            link_.switches().clearAlarm();
            return true;
        });
        break;
    case Header::Channel:
        if (c.query) {
            read(Quantity::Channel);
        } else if (const auto channel = Scpi::choice(c.argument, 1, 2)) {
            command([this, channel] {
                link_.switches().selectChannel(*channel);
                return true;
            });
        } else {
            pushError(Scpi::IllegalParameterValue);
        }
        break;
    case Header::Mode:
        if (c.query) {
            read(Quantity::Mode);
        } else if (const auto mode = Scpi::choice(c.argument, 0, 2)) {
            command([this, mode] {
                link_.switches().selectMode(TrackingMode(*mode));
                return true;
            });
        } else {
            pushError(Scpi::IllegalParameterValue);
        }
        break;
    case Header::FetchPower:
    case Header::FetchWattHours:
    case Header::FetchAmpHours:
    case Header::ResetWattHours:
    case Header::ResetAmpHours: {
        const Scpi::MeterOutcome outcome = Scpi::meterCommand(c.header, meter_);
        pushError(outcome.error);
        if (!outcome.reply.isEmpty())
            answer(outcome.reply);
        break;
    }
    case Header::Watchdog:
        if (c.query)
            answer(QString::number(watchdog_.seconds()));
        else
            setWatchdog(c.argument);
        break;
    }
}

void ScpiSession::fetch(Quantity quantity) {
    const std::optional<double> value = link_.model().number(quantity);
    if (value)
        answer(NumberText::plainDecimal(*value));
    else
        pushError(Scpi::DataStale);
}

void ScpiSession::setWatchdog(const QString& argument) {
    const std::optional<double> seconds = Scpi::number(argument);
    if (!seconds)
        pushError(Scpi::DataTypeError);
    else if (*seconds != std::floor(*seconds))
        pushError(Scpi::IllegalParameterValue);
    else if (qAbs(*seconds) > ScpiWatchdog::Longest || !watchdog_.arm(int(*seconds)))
        pushError(Scpi::DataOutOfRange);
}

bool ScpiSession::beginWaiting() {
    // A closed port is reported at once, without waiting for the line.
    if (!link_.MSComm().PortOpen()) {
        pushError(Scpi::HardwareError);
        return false;
    }
    waiting_ = true;
    return true;
}

void ScpiSession::endWaitingUnless(bool queued) {
    if (queued)
        return;
    waiting_ = false;
    pushError(Scpi::QueueOverflow);
}

void ScpiSession::read(Quantity quantity) {
    if (!beginWaiting())
        return;
    const bool queued = link_.clients().read(this, quantity, [this](const ClientQueue::Result& r) {
        if (r.status == ClientQueue::Result::Status::Done)
            answer(valueText(r.value));
        else
            pushError(Scpi::HardwareError);
        resumed();
    });
    endWaitingUnless(queued);
}

void ScpiSession::measurePower() {
    if (!beginWaiting())
        return;
    // Both queued at once, so that no other client's request comes between
    // the two readings. A failed voltage still lets the current go out (the
    // line stays in step) but the client gets one error, as for a MEAS query.
    auto volts = std::make_shared<std::optional<double>>();
    using Status = ClientQueue::Result::Status;
    const bool queued =
        link_.clients().read(this, Quantity::MeasuredVoltage,
                             [volts](const ClientQueue::Result& r) {
                                 if (r.status == Status::Done)
                                     *volts = r.value.toDouble();
                             }) &&
        link_.clients().read(this, Quantity::MeasuredCurrent,
                             [this, volts](const ClientQueue::Result& r) {
                                 if (r.status == Status::Done && *volts)
                                     answer(NumberText::plainDecimal(**volts * r.value.toDouble()));
                                 else
                                     pushError(Scpi::HardwareError);
                                 resumed();
                             });
    endWaitingUnless(queued);
}

void ScpiSession::command(std::function<bool()> send) {
    if (!beginWaiting())
        return;
    const bool queued = link_.clients().run(
        this,
        [this, send] {
            if (!send())
                pushError(Scpi::HardwareError);
        },
        [this](const ClientQueue::Result& r) {
            if (r.status != ClientQueue::Result::Status::Done)
                pushError(Scpi::HardwareError);
            resumed();
        });
    endWaitingUnless(queued);
}

void ScpiSession::setNumber(int setpoint, const QString& argument) {
    const std::optional<double> value = Scpi::number(argument);
    if (!value) {
        pushError(Scpi::DataTypeError);
        return;
    }
    const auto which = SetpointCommands::Setpoint(setpoint);
    command([this, which, value] {
        switch (link_.setpoints().sendValue(which, *value)) {
        case SetpointCommands::Outcome::Sent:
            return true;
        case SetpointCommands::Outcome::OutOfRange:
            pushError(Scpi::DataOutOfRange);
            return true;
        case SetpointCommands::Outcome::PortClosed:
            break;
        }
        return false;
    });
}
