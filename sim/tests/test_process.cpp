#include "sim_process.hpp"

#include "fault_injector.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace velmor::sim::test {
namespace {

namespace fs = std::filesystem;

double number(Client& client, const std::string& query) {
    client.send(query + "CR");
    const std::string reply = client.receive();
    EXPECT_EQ(reply.size(), 14u) << query << " -> '" << reply << "'";
    return decodeNumberReply(reply.substr(0, 12)).value_or(-1);
}

void expectIdentification(const std::string& line) {
    EXPECT_GE(line.size(), 24u + 2) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 3) << line;
    EXPECT_EQ(line.substr(line.size() < 2 ? 0 : line.size() - 2), "\r\n") << line;
}

TEST(SimProcess, PublishesTheDeviceAnswersAndLogsCommands) {
    TempDir temp;
    const fs::path log = temp.path() / "commands.log";
    SimProcess sim({"--log", log.string(), "--load-ohms", "10"});
    EXPECT_EQ(sim.portName(), "COM200");
    EXPECT_EQ(fs::read_symlink(sim.link()), sim.devicePath());

    Client client(sim.link());
    ASSERT_TRUE(client.opened());
    client.send("VOLTage:LEVel 4.5CRCURRent:LEVel 2CR");
    client.send("OUTP 1CR");
    EXPECT_TRUE(sameToSixDigits(number(client, "MEASure:SCALar:VOLTage:DC?"), 4.5));
    EXPECT_TRUE(sameToSixDigits(number(client, "MEASure:SCALar:CURRent:DC?"), 4.5 / 10));
    client.send("*IDN?CR");
    expectIdentification(client.receive());
    // Line ends after the mark are skipped, and an unknown command answers nothing.
    client.send("NONSENSE?CR\r\nOUTPut:STATe?CR\r\n");
    EXPECT_EQ(client.receive(), "1\r\n");

    std::ifstream in(log);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "VOLTage:LEVel 4.5\nCURRent:LEVel 2\nOUTP 1\nMEASure:SCALar:VOLTage:DC?\n"
              "MEASure:SCALar:CURRent:DC?\n*IDN?\nNONSENSE?\nOUTPut:STATe?\n");
}

TEST(SimProcess, ChunkedAndDelayedRepliesArriveWholeAndInOrder) {
    SimProcess sim({"--chunk", "2", "--delay", "200", "--quiet"});
    Client client(sim.link());
    // The mode is set while the first reply still waits: the loop must go on reading.
    client.send("SOUR:MODE?CRSOUR:MODE 2CRSOUR:MODE?CR*IDN?CR");
    EXPECT_EQ(client.receive(), "0\r\n");
    EXPECT_EQ(client.receive(), "2\r\n");
    expectIdentification(client.receive());
    EXPECT_GE(client.reads(), 3) << "pieces 2 ms apart all came in one read";
}

TEST(SimProcess, DroppedRepliesNeverComeAndGarbledOnesKeepTheirLength) {
    SimProcess dropping({"--drop", "1", "--quiet"});
    Client silent(dropping.link());
    silent.send("*IDN?CR");
    EXPECT_EQ(silent.readOnce(400ms), -ETIMEDOUT);

    SimProcess garbling({"--garbage", "1", "--seed", "11", "--quiet"});
    Client noisy(garbling.link());
    noisy.send("VOLTage:LEVel?CR");
    const std::string reply = noisy.receive(14);
    ASSERT_EQ(reply.size(), 14u);
    EXPECT_FALSE(decodeNumberReply(reply.substr(0, 12))) << "the reply came through unspoiled";
}

TEST(SimProcess, ALateReplyHoldsTheRepliesAfterItInOrder) {
    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {"SOUR:MODE?", "2\r\n"},
        {"APPL?", "1\r\n"},
        {"OUTPut:STATe?", "0\r\n"},
        {"SYST:VERS?", "V1.06\r\n"},
        {"VOLTage:LEVel?", "+5.00000E+00\r\n"},
        {"CURRent:LEVel?", "+1.00000E+00\r\n"},
        {"SOUR:MODE?", "2\r\n"},
        {"APPL?", "1\r\n"},
    };
    constexpr std::uint32_t kSeed = 5;
    const auto lateBy = 400ms;
    // The same seed and the same draws per reply tell which replies the simulator makes late.
    FaultInjector predict(0, 0, kSeed, 0.3, lateBy);
    std::size_t firstLate = exchanges.size();
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        predict.apply(exchanges[i].second);
        if (predict.lateness() != 0ms && firstLate == exchanges.size()) {
            firstLate = i;
        }
    }
    ASSERT_LT(firstLate, exchanges.size() - 1) << "the seed makes no reply but the last late";

    SimProcess sim({"--late", "0.3:400", "--seed", std::to_string(kSeed), "--quiet"});
    Client client(sim.link());
    client.send("SOUR:MODE 2CR");
    std::string queries;
    for (const auto& exchange : exchanges) {
        queries += exchange.first + "CR";
    }
    const auto sent = std::chrono::steady_clock::now();
    client.send(queries);
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        EXPECT_EQ(client.receive(), exchanges[i].second) << i;
        if (i >= firstLate) {
            EXPECT_GE(std::chrono::steady_clock::now() - sent, lateBy) << i << " came early";
        }
    }
}

// The lines of a wire log as (time, rest).
std::vector<std::pair<long long, std::string>> wireLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::pair<long long, std::string>> lines;
    long long ms = 0;
    std::string rest;
    while (in >> ms && std::getline(in, rest)) {
        lines.emplace_back(ms, rest);
    }
    return lines;
}

TEST(SimProcess, TheWireLogTimesCommandsAndRepliesWithTheirFate) {
    TempDir temp;
    const fs::path late = temp.path() / "late.log";
    {
        SimProcess sim({"--wire-log", late.string(), "--late", "1:300", "--quiet"});
        Client client(sim.link());
        client.send("APPL?CROUTP 1CR");
        EXPECT_EQ(client.receive(), "1\r\n");
    }
    const auto lines = wireLines(late);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].second, " < APPL?");
    EXPECT_EQ(lines[1].second, " > late 1\\x0D\\x0A");
    EXPECT_EQ(lines[2].second, " < OUTP 1");
    EXPECT_GE(lines[1].first - lines[0].first, 300) << "the reply's time is when it leaves";

    const fs::path dropped = temp.path() / "dropped.log";
    {
        SimProcess sim({"--wire-log", dropped.string(), "--drop", "1", "--quiet"});
        Client client(sim.link());
        client.send("SYST:VERS?CR");
        EXPECT_EQ(client.readOnce(300ms), -ETIMEDOUT);
    }
    const auto lost = wireLines(dropped);
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[1].second, " > dropped V1.06\\x0D\\x0A");
}

TEST(SimProcess, FloodsThenBehaves) {
    SimProcess sim({"--flood", "0.3", "--quiet"});
    Client client(sim.link());
    // The flood writes whenever the line takes more, so a quiet line means it is over.
    EXPECT_GT(client.drain(300ms), 0u) << "no noise arrived";
    client.send("*IDN?CR");
    expectIdentification(client.receive());
}

TEST(SimProcess, VanishingHangsTheClientUpAndRemovesTheLink) {
    SimProcess sim({"--vanish-after", "0.5"});
    Client client(sim.link());
    client.send("APPL?CR");
    EXPECT_EQ(client.receive(), "1\r\n");
    const long result = client.readOnce(5s);
    EXPECT_TRUE(result == 0 || result == -EIO) << result;
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.link())));
    EXPECT_FALSE(fs::exists(sim.devicePath()));
}

TEST(SimProcess, ReturnsUnderTheSameNumberWithItsSettingsKept) {
    SimProcess sim({"--vanish-after", "0.3", "--return-after", "1", "--quiet"});
    {
        Client client(sim.link());
        client.send("APPL 2CR");
        const long result = client.readOnce(5s);
        EXPECT_TRUE(result == 0 || result == -EIO) << result;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.link()))) << "the link outlived the device";
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!fs::exists(sim.link()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(fs::exists(sim.link())) << "the supply did not come back";
    EXPECT_TRUE(sim.running());

    Client again(sim.link());
    ASSERT_TRUE(again.opened());
    again.send("APPL?CR");
    EXPECT_EQ(again.receive(), "2\r\n");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.link())));
}

TEST(SimProcess, SignalsAndTheEndOfAPipedInputEndItCleanly) {
    for (const int signo : {SIGTERM, SIGINT, 0}) {
        SimProcess sim({"--quiet"}, Stdin::Pipe);
        ASSERT_TRUE(fs::is_symlink(sim.link()));
        if (signo != 0) {
            sim.signal(signo);
        } else {
            sim.closeStdin();
        }
        EXPECT_EQ(sim.waitExit(), 0) << signo;
        EXPECT_FALSE(fs::exists(fs::symlink_status(sim.link()))) << signo;
    }
}

TEST(SimProcess, OutlivesInputFromDevNullAndServesClientAfterClient) {
    SimProcess sim({"--quiet"}, Stdin::DevNull);
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(100ms);
        Client client(sim.link());
        client.send("APPL?CR");
        EXPECT_EQ(client.receive(), "1\r\n") << round;
    }
    EXPECT_TRUE(sim.running());
}

TEST(SimProcess, CommandLineErrorsExitWithStatusTwo) {
    const std::string binary = VELMOR_SIM_BINARY;
    for (const char* args : {"--com 0", "extra", "--nope", "--drop", "--late 0.5", "--late 2:10"}) {
        const int status = std::system((binary + " " + args + " >/dev/null 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args << ": " << status;
    }
    const int help = std::system((binary + " --help >/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(help) && WEXITSTATUS(help) == 0) << help;
}

} // namespace
} // namespace velmor::sim::test
