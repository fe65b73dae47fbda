#include "command.hpp"

#include "number_text.hpp"

#include <array>

namespace velmor::sim {

namespace {

enum class Argument { None, Level, Mode, Channel, Switch };

struct Keyword {
    std::string_view text;
    CommandKind kind;
    Argument argument;
};

constexpr std::array<Keyword, 19> kKeywords{{
    {"MEASure:SCALar:VOLTage:DC?", CommandKind::MeasureVoltage, Argument::None},
    {"MEASure:SCALar:CURRent:DC?", CommandKind::MeasureCurrent, Argument::None},
    {"VOLTage:LEVel?", CommandKind::QueryVoltage, Argument::None},
    {"CURRent:LEVel?", CommandKind::QueryCurrent, Argument::None},
    {"VOLTage:PROTection:LEVel?", CommandKind::QueryOvp, Argument::None},
    {"CURRent:PROTection:LEVel?", CommandKind::QueryOcp, Argument::None},
    {"OUTPut:STATe?", CommandKind::QueryOutput, Argument::None},
    {"SOUR:MODE?", CommandKind::QueryMode, Argument::None},
    {"APPL?", CommandKind::QueryChannel, Argument::None},
    {"VOLTage:LEVel", CommandKind::SetVoltage, Argument::Level},
    {"CURRent:LEVel", CommandKind::SetCurrent, Argument::Level},
    {"VOLTage:PROTection:LEVel", CommandKind::SetOvp, Argument::Level},
    {"CURRent:PROTection:LEVel", CommandKind::SetOcp, Argument::Level},
    {"SOUR:MODE", CommandKind::SetMode, Argument::Mode},
    {"APPL", CommandKind::SetChannel, Argument::Channel},
    {"OUTP", CommandKind::SetOutput, Argument::Switch},
    {"OUTPut:PROTection:CLEar", CommandKind::ClearProtection, Argument::None},
    {"SYST:VERS?", CommandKind::QueryVersion, Argument::None},
    {"*IDN?", CommandKind::QueryIdentity, Argument::None},
}};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameKeyword(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// Mode, channel and switch take exactly one digit in their range.
std::optional<double> parseDigit(std::string_view text, char lowest, char highest) {
    if (text.size() != 1 || text[0] < lowest || text[0] > highest) {
        return std::nullopt;
    }
    return static_cast<double>(text[0] - '0');
}

std::optional<double> parseArgument(Argument kind, std::string_view text) {
    switch (kind) {
    case Argument::None:
        return std::nullopt;
    case Argument::Level:
        return parseDecimal(text);
    case Argument::Mode:
        return parseDigit(text, '0', '2');
    case Argument::Channel:
        return parseDigit(text, '1', '2');
    case Argument::Switch:
        return parseDigit(text, '0', '1');
    }
    return std::nullopt;
}

} // namespace

std::optional<Command> parseCommand(std::string_view text) {
    text = trimBlanks(text);
    std::string_view keyword = text;
    std::string_view argument;
    const auto blank = text.find_first_of(" \t");
    if (blank != std::string_view::npos) {
        keyword = text.substr(0, blank);
        argument = trimBlanks(text.substr(blank));
    }

    for (const Keyword& entry : kKeywords) {
        if (!sameKeyword(keyword, entry.text)) {
            continue;
        }
        if (entry.argument == Argument::None) {
            return argument.empty() ? std::optional<Command>(Command{entry.kind}) : std::nullopt;
        }
        const auto value = parseArgument(entry.argument, argument);
        return value ? std::optional<Command>(Command{entry.kind, *value}) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace velmor::sim
