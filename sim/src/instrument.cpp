#include "instrument.hpp"

#include "number_text.hpp"

#include <cstdio>

namespace velmor::sim {

namespace {

std::string line(std::string text) {
    return text + "\r\n";
}

std::string numberLine(double value) {
    return line(formatNumberReply(value));
}

std::string digitLine(int digit) {
    return line(std::string(1, static_cast<char>('0' + digit)));
}

} // namespace

Identity simulatorIdentity(int com) {
    constexpr const char* kVersion = "V1.06";
    char serial[16];
    std::snprintf(serial, sizeof serial, "SN%06d", com);
    return {kVersion, std::string("VELMOR-SIM,PSU-3005,") + serial + "," + kVersion};
}

std::optional<std::string> Instrument::handle(std::string_view commandText) {
    const auto command = parseCommand(commandText);
    if (!command) {
        return std::nullopt;
    }
    return execute(*command);
}

std::optional<std::string> Instrument::execute(const Command& command) {
    const ChannelState& channel = model_.channel();
    switch (command.kind) {
    case CommandKind::MeasureVoltage:
        return numberLine(model_.measure().volts);
    case CommandKind::MeasureCurrent:
        return numberLine(model_.measure().amps);
    case CommandKind::QueryVoltage:
        return numberLine(channel.voltage);
    case CommandKind::QueryCurrent:
        return numberLine(channel.current);
    case CommandKind::QueryOvp:
        return numberLine(channel.ovp);
    case CommandKind::QueryOcp:
        return numberLine(channel.ocp);
    case CommandKind::QueryOutput:
        return digitLine(channel.output ? 1 : 0);
    case CommandKind::QueryMode:
        return digitLine(static_cast<int>(model_.tracking()));
    case CommandKind::QueryChannel:
        return digitLine(model_.selectedChannel());
    case CommandKind::QueryVersion:
        return line(identity_.version);
    case CommandKind::QueryIdentity:
        return line(identity_.identification);
    case CommandKind::SetVoltage:
        model_.setVoltage(command.value);
        break;
    case CommandKind::SetCurrent:
        model_.setCurrent(command.value);
        break;
    case CommandKind::SetOvp:
        model_.setOvp(command.value);
        break;
    case CommandKind::SetOcp:
        model_.setOcp(command.value);
        break;
    case CommandKind::SetMode:
        model_.setTracking(static_cast<Tracking>(static_cast<int>(command.value)));
        break;
    case CommandKind::SetChannel:
        model_.selectChannel(static_cast<int>(command.value));
        break;
    case CommandKind::SetOutput:
        model_.setOutput(command.value != 0);
        break;
    case CommandKind::ClearProtection:
        model_.clearProtection();
        break;
    }
    return std::nullopt;
}

} // namespace velmor::sim
