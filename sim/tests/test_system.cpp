#include "command_log.hpp"
#include "port_link.hpp"
#include "pty_port.hpp"

#include "support.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace velmor::sim {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(DefaultLinkDir, FollowsXdgConfigHomeThenHome) {
    const fs::path xdg = fs::path("/x") / "velmor" / "ports";
    const fs::path home = fs::path("/h") / ".config" / "velmor" / "ports";
    EXPECT_EQ(defaultLinkDir("/x", "/h"), xdg);
    EXPECT_EQ(defaultLinkDir("/x", nullptr), xdg);
    EXPECT_EQ(defaultLinkDir("", "/h"), home);
    EXPECT_EQ(defaultLinkDir(nullptr, "/h"), home);
    EXPECT_EQ(defaultLinkDir(nullptr, nullptr), std::nullopt);
    EXPECT_EQ(defaultLinkDir("", ""), std::nullopt);
}

TEST(PortLink, MakesTheFolderReplacesStaleNamesAndRemovesOnlyItsOwnLink) {
    TempDir temp;
    const fs::path dir = temp.path() / "ports";
    {
        PortLink fresh(temp.path() / "made" / "here", 57, "/dev/pts/7");
        EXPECT_EQ(fs::read_symlink(temp.path() / "made" / "here" / "com57"), "/dev/pts/7");
    }
    fs::create_directories(dir);
    fs::create_symlink("/dev/pts/999", dir / "com200");
    std::ofstream(dir / "com201") << "left over";
    for (const int com : {200, 201}) {
        const fs::path name = dir / ("com" + std::to_string(com));
        {
            PortLink link(dir, com, "/dev/pts/7");
            EXPECT_EQ(link.path(), name);
            EXPECT_EQ(fs::read_symlink(name), "/dev/pts/7");
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(name)));
    }

    PortLink old(dir, 5, "/dev/pts/1");
    PortLink newer(dir, 5, "/dev/pts/2");
    old.remove();
    EXPECT_EQ(fs::read_symlink(dir / "com5"), "/dev/pts/2") << "a newer simulator keeps it";
    newer.remove();
    EXPECT_TRUE(fs::is_empty(dir)) << "no temporary name is left behind";

    fs::create_directory(dir / "com9");
    EXPECT_THROW(PortLink(dir, 9, "/dev/pts/1"), fs::filesystem_error);
}

TEST(CommandLog, AppendsOneEscapedLinePerCommand) {
    TempDir temp;
    const fs::path file = temp.path() / "commands.log";
    std::ofstream(file) << "earlier\n";
    {
        CommandLog log(file.string());
        log.record("OUTP 1");
        log.record(std::string("A\r\nB\0\\\xff", 7));
    }
    std::ifstream in(file);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text, "earlier\nOUTP 1\nA\\x0D\\x0AB\\x00\\x5C\\xFF\n");
    EXPECT_THROW(CommandLog((temp.path() / "no" / "log").string()), std::system_error);
}

std::string readSome(int fd) {
    pollfd p{fd, POLLIN, 0};
    char buffer[256];
    const ssize_t n = ::poll(&p, 1, 2000) == 1 ? ::read(fd, buffer, sizeof buffer) : 0;
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

TEST(PtyPort, SlaveIsRawAndCarriesBytesUnchangedBothWays) {
    PtyPort port;
    const int client = ::open(port.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(client, &settings), 0);
    EXPECT_FALSE(settings.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(settings.c_iflag & (ICRNL | IXON));
    EXPECT_FALSE(settings.c_oflag & OPOST);

    const std::string bytes = "OUTP 1CR\r\n\x03\x11";
    ASSERT_EQ(::write(client, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(readSome(port.master()), bytes) << "no echo, no translation";
    ASSERT_EQ(::write(port.master(), "1\r\n", 3), 3);
    EXPECT_EQ(readSome(client), "1\r\n");
    ::close(client);
}

} // namespace
} // namespace velmor::sim
