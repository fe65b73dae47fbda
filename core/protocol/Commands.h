#pragma once

#include <QString>
#include <QtGlobal>

// The 18 steps of the polling cycle, numbered as the cycle counts them. Steps
// 1 to 9 each choose a query of their own; steps 10 to 18 send the last query
// again, and 17 and 18 are also the steps under which the version and the
// identification replies are read. None is the step before the first tick.
enum class PollingStep : qint16 {
    None = 0,
    MeasuredVoltage = 1,
    MeasuredCurrent = 2,
    SetVoltage = 3,
    SetCurrent = 4,
    OverVoltage = 5,
    OverCurrent = 6,
    Output = 7,
    Mode = 8,
    Channel = 9,
    Repeat10 = 10,
    Repeat11 = 11,
    Repeat12 = 12,
    Repeat13 = 13,
    Repeat14 = 14,
    Repeat15 = 15,
    Repeat16 = 16,
    Version = 17,
    Identification = 18,
};

// The step after this one: 18 wraps to 1.
PollingStep nextStep(PollingStep step);
// Steps 1 to 6, whose replies are numbers for the six read-outs.
bool isNumberStep(PollingStep step);

// The complete vocabulary the panel sends. Every command is printable ASCII
// ending in the two letters "CR" (not a carriage return); nothing else is
// appended on the line.
namespace Commands {

inline const QString End = QStringLiteral("CR");

// Polling queries, steps 1 to 9.
inline const QString MeasureVoltage = QStringLiteral("MEASure:SCALar:VOLTage:DC?CR");
inline const QString MeasureCurrent = QStringLiteral("MEASure:SCALar:CURRent:DC?CR");
inline const QString VoltageLevelQuery = QStringLiteral("VOLTage:LEVel?CR");
inline const QString CurrentLevelQuery = QStringLiteral("CURRent:LEVel?CR");
inline const QString VoltageProtectionQuery = QStringLiteral("VOLTage:PROTection:LEVel?CR");
inline const QString CurrentProtectionQuery = QStringLiteral("CURRent:PROTection:LEVel?CR");
inline const QString OutputStateQuery = QStringLiteral("OUTPut:STATe?CR");
inline const QString ModeQuery = QStringLiteral("SOUR:MODE?CR");
inline const QString ChannelQuery = QStringLiteral("APPL?CR");

// Setpoints: prefix + plain decimal value + End.
inline const QString VoltageLevelPrefix = QStringLiteral("VOLTage:LEVel ");
inline const QString CurrentLevelPrefix = QStringLiteral("CURRent:LEVel ");
inline const QString VoltageProtectionPrefix = QStringLiteral("VOLTage:PROTection:LEVel ");
inline const QString CurrentProtectionPrefix = QStringLiteral("CURRent:PROTection:LEVel ");

// Tracking mode (0, 1, 2) and channel (1, 2): prefix + digit + End.
inline const QString ModePrefix = QStringLiteral("SOUR:MODE ");
inline const QString ChannelPrefix = QStringLiteral("APPL ");

inline const QString OutputOn = QStringLiteral("OUTP 1CR");
inline const QString OutputOff = QStringLiteral("OUTP 0CR");
inline const QString ClearAlarm = QStringLiteral("OUTPut:PROTection:CLEarCR");

// Identity queries: text + End.
inline const QString VersionQuery = QStringLiteral("SYST:VERS?");
inline const QString IdentityQuery = QStringLiteral("*IDN?");

// The query of a polling step that chooses one (MeasuredVoltage to Channel);
// empty for any other step.
QString pollingQuery(PollingStep step);

// prefix + argument + "CR"
QString withArgument(const QString& prefix, const QString& argument);

} // namespace Commands
