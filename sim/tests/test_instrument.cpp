#include "instrument.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmor::sim {
namespace {

class InstrumentTest : public ::testing::Test {
protected:
    // The reply without CR LF; fails when there is none or it does not end in CR LF.
    std::string line(const std::string& command) {
        const std::string reply = instrument.handle(command).value_or("");
        EXPECT_TRUE(reply.size() >= 2 && reply.substr(reply.size() - 2) == "\r\n")
            << command << " -> '" << reply << "'";
        return reply.substr(0, reply.size() < 2 ? 0 : reply.size() - 2);
    }
    double number(const std::string& query) {
        const auto value = test::decodeNumberReply(line(query));
        EXPECT_TRUE(value) << query;
        return value.value_or(-1);
    }

    SupplyModel model{10.0};
    Instrument instrument{model, simulatorIdentity(200)};
};

TEST_F(InstrumentTest, SetCommandsAnswerNothingAndQueriesReadThemBack) {
    const struct {
        const char* command;
        const char* query;
        double value;
    } cases[] = {
        {"VOLTage:LEVel 12.5", "VOLTage:LEVel?", 12.5},
        {"CURRent:LEVel 0.75", "CURRent:LEVel?", 0.75},
        {"VOLTage:PROTection:LEVel 20", "VOLTage:PROTection:LEVel?", 20},
        {"CURRent:PROTection:LEVel 25E-01", "CURRent:PROTection:LEVel?", 2.5},
        {"OUTP 1", "OUTPut:STATe?", 1},
        {"SOUR:MODE 2", "SOUR:MODE?", 2},
        {"SOUR:MODE 0", "SOUR:MODE?", 0},
        {"APPL 2", "APPL?", 2},
        {"APPL 1", "APPL?", 1},
        {"OUTP 0", "OUTPut:STATe?", 0},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(instrument.handle(c.command)) << c.command;
        const std::string text = line(c.query);
        if (text.size() == 1) {
            EXPECT_EQ(text, std::to_string(static_cast<int>(c.value))) << c.command;
        } else {
            EXPECT_TRUE(test::sameToSixDigits(number(c.query), c.value)) << c.command;
        }
    }
}

TEST_F(InstrumentTest, MeasurementsComeFromTheModel) {
    instrument.handle("OUTP 1");
    EXPECT_EQ(number("MEASure:SCALar:VOLTage:DC?"), model.measure().volts);
    EXPECT_EQ(number("MEASure:SCALar:CURRent:DC?"), model.measure().amps);
    EXPECT_GT(model.measure().volts, 0.0);
    instrument.handle("VOLTage:PROTection:LEVel 1");
    EXPECT_EQ(line("OUTPut:STATe?"), "0") << "tripped";
    EXPECT_FALSE(instrument.handle("OUTPut:PROTection:CLEar"));
    EXPECT_FALSE(model.channel().alarm);
}

TEST_F(InstrumentTest, UnknownCommandsAnswerNothingAndChangeNothing) {
    for (const char* command : {"VOLT 3", "VOLTage:LEVel x", "HELLO?", "OUTP 7", ""}) {
        EXPECT_FALSE(instrument.handle(command)) << command;
    }
    EXPECT_EQ(model.channel().voltage, SupplyModel(1.0).channel().voltage);
    EXPECT_FALSE(model.channel().output);
}

TEST_F(InstrumentTest, IdentityReplies) {
    const std::string version = line("SYST:VERS?");
    EXPECT_GE(version.size(), 4u) << "the panel takes a version of at least 4 characters";
    const std::string id = line("*IDN?");
    EXPECT_GE(id.size(), 24u) << id;
    EXPECT_EQ(std::count(id.begin(), id.end(), ','), 3) << id;
    EXPECT_NE(id.find("200"), std::string::npos) << "the serial number tells the port";
    EXPECT_EQ(id.substr(id.size() - version.size()), version);
}

} // namespace
} // namespace velmor::sim
