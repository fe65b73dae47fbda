#pragma once

#include <QString>

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

// Polling steps: 1 to 18, of which 1 to 9 choose a query of their own.
constexpr qint16 FirstStep = 1;
constexpr qint16 LastStep = 18;
constexpr qint16 LastQueryStep = 9;

// The query of polling step 1 to 9; empty for any other step.
QString pollingQuery(int step);

// prefix + argument + "CR"
QString withArgument(const QString& prefix, const QString& argument);

} // namespace Commands
