#pragma once

#include <optional>
#include <string_view>

namespace velmor::sim {

enum class CommandKind {
    MeasureVoltage,
    MeasureCurrent,
    QueryVoltage,
    QueryCurrent,
    QueryOvp,
    QueryOcp,
    QueryOutput,
    QueryMode,
    QueryChannel,
    SetVoltage,
    SetCurrent,
    SetOvp,
    SetOcp,
    SetMode,
    SetChannel,
    SetOutput,
    ClearProtection,
    QueryVersion,
    QueryIdentity,
};

struct Command {
    CommandKind kind;
    // The argument of a set command: a level, or the mode, channel or switch digit.
    double value = 0;
};

// Interprets one command as it stands between two "CR" end marks. Keywords match without
// regard to case; a keyword and its argument are separated by blanks. Unknown keywords, missing,
// surplus or malformed arguments give nothing, so the supply ignores the command.
std::optional<Command> parseCommand(std::string_view text);

} // namespace velmor::sim
