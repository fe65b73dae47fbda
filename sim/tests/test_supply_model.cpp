#include "supply_model.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

// The load decides between constant voltage (V = Vset) and constant current (I = Iset); the
// tracking mode doubles the voltage limit in series and the current limit in parallel.
TEST(SupplyModel, ConstantVoltageOrConstantCurrent) {
    const struct {
        const char* name;
        Tracking tracking;
        double vset, iset, ohms, volts, amps;
    } cases[] = {
        {"CV", Tracking::Independent, 5.0, 1.0, 10.0, 5.0, 5.0 / 10.0},
        {"CC", Tracking::Independent, 12.0, 0.5, 10.0, 0.5 * 10.0, 0.5},
        {"series CV", Tracking::Series, 5.0, 3.0, 10.0, 2 * 5.0, 2 * 5.0 / 10.0},
        {"series CC", Tracking::Series, 5.0, 0.5, 10.0, 0.5 * 10.0, 0.5},
        {"parallel CC", Tracking::Parallel, 12.0, 0.5, 10.0, 2 * 0.5 * 10.0, 2 * 0.5},
        {"parallel CV", Tracking::Parallel, 3.0, 1.0, 2.0, 3.0, 3.0 / 2.0},
    };
    for (const auto& c : cases) {
        SupplyModel model(c.ohms);
        model.setTracking(c.tracking);
        model.setVoltage(c.vset);
        model.setCurrent(c.iset);
        model.setOcp(100.0);
        EXPECT_EQ(model.measure().volts, 0.0) << c.name << ": output off";
        model.setOutput(true);
        ASSERT_TRUE(model.channel().output) << c.name;
        EXPECT_DOUBLE_EQ(model.measure().volts, c.volts) << c.name;
        EXPECT_DOUBLE_EQ(model.measure().amps, c.amps) << c.name;
    }
}

TEST(SupplyModel, ChannelsKeepTheirOwnSettingsAndNegativeLevelsAreIgnored) {
    SupplyModel model(10.0);
    const ChannelState first = model.channel();
    model.selectChannel(2);
    model.setVoltage(first.voltage + 7);
    model.setOutput(true);
    model.setCurrent(-1);
    model.selectChannel(3);
    EXPECT_EQ(model.selectedChannel(), 2);
    EXPECT_EQ(model.channel().current, first.current);
    model.selectChannel(1);
    EXPECT_EQ(model.channel().voltage, first.voltage);
    EXPECT_FALSE(model.channel().output);
}

// Each way of pushing a reading over its protection level must trip the output.
TEST(SupplyModel, ProtectionTripsWhateverCausesTheExcess) {
    const struct {
        const char* name;
        void (*cause)(SupplyModel&);
    } cases[] = {
        {"on above OVP",
         [](SupplyModel& m) {
             m.setOvp(4.0);
             m.setOutput(true);
         }},
        {"OVP under output",
         [](SupplyModel& m) {
             m.setOutput(true);
             m.setOvp(2.5);
         }},
        {"series past OVP",
         [](SupplyModel& m) {
             m.setOvp(7.5);
             m.setOutput(true);
             m.setTracking(Tracking::Series);
         }},
        {"parallel past OCP",
         [](SupplyModel& m) {
             m.setVoltage(100);
             m.setOvp(1e3);
             m.setOcp(1.5);
             m.setOutput(true);
             m.setTracking(Tracking::Parallel);
         }},
    };
    for (const auto& c : cases) {
        SupplyModel model(10.0); // 5 V, 1 A, OVP 33 V, OCP 3.3 A: 5 V and 0.5 A when on
        c.cause(model);
        EXPECT_FALSE(model.channel().output) << c.name;
        EXPECT_TRUE(model.channel().alarm) << c.name;
        EXPECT_EQ(model.measure().amps, 0.0) << c.name;
    }
}

TEST(SupplyModel, LevelsEqualToTheReadingDoNotTrip) {
    SupplyModel cv(10.0);
    cv.setOvp(cv.channel().voltage);
    cv.setOutput(true);
    EXPECT_TRUE(cv.channel().output);
    SupplyModel cc(3.0);
    cc.setCurrent(0.7);
    cc.setOcp(0.7);
    cc.setOutput(true);
    EXPECT_TRUE(cc.channel().output);
}

TEST(SupplyModel, AlarmLatchesOnItsChannelUntilCleared) {
    SupplyModel model(10.0);
    model.setOvp(4.0);
    model.setOutput(true);
    model.clearProtection();
    model.setOutput(true);
    EXPECT_TRUE(model.channel().alarm) << "cleared with the fault present: trips again";

    model.setOvp(33.0);
    model.setOutput(true);
    EXPECT_FALSE(model.channel().output) << "switching on is refused while the alarm stands";
    model.selectChannel(2);
    model.clearProtection();
    model.setOutput(true);
    EXPECT_TRUE(model.channel().output) << "the other channel is unaffected";
    model.selectChannel(1);
    EXPECT_TRUE(model.channel().alarm);
    model.clearProtection();
    EXPECT_FALSE(model.channel().output) << "clearing does not switch the output on";
    model.setOutput(true);
    EXPECT_DOUBLE_EQ(model.measure().volts, model.channel().voltage);
}

} // namespace
} // namespace velmor::sim
