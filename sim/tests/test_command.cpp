#include "command.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

TEST(ParseCommand, KnowsTheVocabularyInAnyCaseWithBlanks) {
    const struct {
        const char* text;
        CommandKind kind;
        double value;
    } cases[] = {
        {"MEASure:SCALar:VOLTage:DC?", CommandKind::MeasureVoltage, 0},
        {"MEASure:SCALar:CURRent:DC?", CommandKind::MeasureCurrent, 0},
        {"VOLTage:LEVel?", CommandKind::QueryVoltage, 0},
        {"CURRent:LEVel?", CommandKind::QueryCurrent, 0},
        {"VOLTage:PROTection:LEVel?", CommandKind::QueryOvp, 0},
        {"CURRent:PROTection:LEVel?", CommandKind::QueryOcp, 0},
        {"OUTPut:STATe?", CommandKind::QueryOutput, 0},
        {"SOUR:MODE?", CommandKind::QueryMode, 0},
        {"APPL?", CommandKind::QueryChannel, 0},
        {"VOLTage:LEVel 12.5", CommandKind::SetVoltage, 12.5},
        {"CURRent:LEVel 0.5", CommandKind::SetCurrent, 0.5},
        {"VOLTage:PROTection:LEVel 1E-05", CommandKind::SetOvp, 1e-5},
        {"CURRent:PROTection:LEVel -2", CommandKind::SetOcp, -2},
        {"SOUR:MODE 2", CommandKind::SetMode, 2},
        {"APPL 2", CommandKind::SetChannel, 2},
        {"OUTP 1", CommandKind::SetOutput, 1},
        {"OUTP 0", CommandKind::SetOutput, 0},
        {"OUTPut:PROTection:CLEar", CommandKind::ClearProtection, 0},
        {"SYST:VERS?", CommandKind::QueryVersion, 0},
        {"*IDN?", CommandKind::QueryIdentity, 0},
        {"measure:scalar:voltage:dc?", CommandKind::MeasureVoltage, 0},
        {"  APPL?  ", CommandKind::QueryChannel, 0},
        {"voltage:level\t +7", CommandKind::SetVoltage, 7},
    };
    for (const auto& c : cases) {
        const auto command = parseCommand(c.text);
        ASSERT_TRUE(command) << c.text;
        EXPECT_EQ(command->kind, c.kind) << c.text;
        EXPECT_EQ(command->value, c.value) << c.text;
    }
}

TEST(ParseCommand, IgnoresUnknownAndMalformedCommands) {
    for (const char* text :
         {"", "VOLT:LEV?", "VOLTage:LEVel??", "MEASure:SCALar:VOLTage:DC", "HELLO",
          "OUTPut:STATe 1", "VOLTage:LEVel", "VOLTage:LEVel 12V", "VOLTage:LEVel nan",
          "VOLTage:LEVel 1 2", "CURRent:LEVel 1,5", "SOUR:MODE 3", "SOUR:MODE 1.0", "APPL 0",
          "APPL 12", "OUTP 2", "OUTP on", "APPL? 1", "OUTPut:PROTection:CLEar now"}) {
        EXPECT_FALSE(parseCommand(text)) << '"' << text << '"';
    }
}

} // namespace
} // namespace velmor::sim
