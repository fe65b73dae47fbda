#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The SCPI language the panel's server speaks: a table of headers, each with
// its long and short forms and its optional nodes, and the standard error
// codes. Numbers are read the same whatever the system's locale.
namespace Scpi {

enum class Header {
    Identify,
    ClearStatus,
    OperationComplete,
    Wait,
    SystemError,
    SystemVersion,
    MeasureVoltage,
    MeasureCurrent,
    MeasurePower,
    FetchVoltage,
    FetchCurrent,
    Voltage,
    Current,
    VoltageProtection,
    CurrentProtection,
    Output,
    OutputProtectionClear,
    Channel,
    Mode,
    FetchPower,
    FetchWattHours,
    FetchAmpHours,
    ResetWattHours,
    ResetAmpHours,
    Watchdog,
};

// The standard error and event codes the server reports.
enum Error : int {
    NoError = 0,
    CommandError = -100,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    DataOutOfRange = -222,
    IllegalParameterValue = -224,
    DataStale = -230,
    HardwareError = -240,
    QueueOverflow = -350,
};
// `code,"text"` as SYSTem:ERRor? gives it.
QString errorReply(int code);

struct Command {
    Header header = Header::Identify;
    bool query = false;
    // The parameter text as given, blanks around it removed; empty for none.
    QString argument;
};

// One command of a line, or the error it makes.
struct Parsed {
    std::optional<Command> command;
    int error = NoError;
};

// Splits a line (without its line end) at ";" and reads each header. A
// header after ";" is read below the path of the command before it, as
// compound commands are written ("MEAS:VOLT?;CURR?"), or else from the root.
QList<Parsed> parseLine(const QString& line);

// Parameters.
std::optional<double> number(const QString& text);
std::optional<bool> boolean(const QString& text);
// One of the whole numbers low to high, written in digits.
std::optional<int> choice(const QString& text, int low, int high);

} // namespace Scpi
