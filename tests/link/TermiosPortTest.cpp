// The real port over a pseudo-terminal: the test holds the master side, the
// port opens the slave device file.  Few cases, generous tolerances: the
// machine may be loaded, and the suite also runs under sanitizers.
#include "TermiosPort.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace korlin {
namespace {

using namespace std::chrono_literals;

struct Pty {
    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~Pty()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    void send(std::initializer_list<uint8_t> bytes) const
    {
        std::vector<uint8_t> v(bytes);
        ASSERT_EQ(::write(master, v.data(), v.size()), ssize_t(v.size()));
    }
    int master = -1, slave = -1;
    std::string path;
};

double elapsedMs(int64_t fromUs) { return double(TermiosPort::steadyNowUs() - fromUs) / 1000.0; }

struct LinkTermiosPort : ::testing::Test {
    void SetUp() override { ASSERT_FALSE(pty.path.empty()); }
    Pty pty;
};

TEST_F(LinkTermiosPort, SilentOneByteReadEndsAfterAbout20ms)
{
    TermiosPort port(pty.path);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    port.setTimeouts({17, 10, 10, 0, 10});
    std::array<uint8_t, 1> buf{0x55};
    const int64_t t0 = TermiosPort::steadyNowUs();
    ASSERT_TRUE(port.startRead(buf.data(), 1));
    uint32_t n = 9;
    EXPECT_TRUE(port.result(n, true));
    const double ms = elapsedMs(t0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buf[0], 0x55);
    EXPECT_GE(ms, 19.0);
    EXPECT_LT(ms, 250.0);
}

TEST_F(LinkTermiosPort, ReadEndsAtTheFirstGapLongerThanTheInterval)
{
    TermiosPort port(pty.path);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    port.setTimeouts({150, 0, 0, 0, 0});
    std::array<uint8_t, 10> buf{};
    ASSERT_TRUE(port.startRead(buf.data(), buf.size()));
    std::thread talker([&] {
        std::this_thread::sleep_for(30ms);
        pty.send({1});
        std::this_thread::sleep_for(30ms);
        pty.send({2});
        std::this_thread::sleep_for(30ms);
        pty.send({3});
        std::this_thread::sleep_for(600ms); // far past the interval
        pty.send({4});
    });
    uint32_t n = 0;
    EXPECT_FALSE(port.result(n, false));
    EXPECT_TRUE(port.result(n, true));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(buf[3], 0);
    talker.join();
    // The fourth byte stayed in the queue for the next read.
    port.setTimeouts({0, 0, 100, 0, 0});
    std::array<uint8_t, 2> next{};
    ASSERT_TRUE(port.startRead(next.data(), 2));
    EXPECT_TRUE(port.result(n, true));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(next[0], 4);
}

TEST_F(LinkTermiosPort, WriteGoesOutAndCharacterWaitSeesTheAnswer)
{
    TermiosPort port(pty.path);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    port.setTimeouts({17, 2, 10, 5, 10});
    const uint8_t req[2] = {0xC5, 0x01};
    ASSERT_TRUE(port.startWrite(req, 2));
    uint32_t n = 0;
    EXPECT_TRUE(port.result(n, true));
    EXPECT_EQ(n, 2u);
    std::array<uint8_t, 2> got{};
    ASSERT_EQ(::read(pty.master, got.data(), 2), 2);
    EXPECT_EQ(got[0], 0xC5);
    EXPECT_EQ(got[1], 0x01);

    port.setCommMask(EvRxChar);
    EXPECT_FALSE(port.waitCharReceived(30)); // nothing yet
    std::thread answer([&] {
        std::this_thread::sleep_for(40ms);
        pty.send({0x81});
    });
    EXPECT_TRUE(port.waitCharReceived(2000));
    answer.join();
    // The queue still holds the byte; a purge drops it.
    port.purge(PurgeRx);
    std::array<uint8_t, 1> buf{};
    ASSERT_TRUE(port.startRead(buf.data(), 1));
    EXPECT_TRUE(port.result(n, true));
    EXPECT_EQ(n, 0u);
}

TEST_F(LinkTermiosPort, OpenIsExclusive)
{
    TermiosPort first(pty.path, "COM1");
    ASSERT_TRUE(first.isOpen()) << first.openError();
    TermiosPort second(pty.path, "COM1");
    EXPECT_FALSE(second.isOpen());
    EXPECT_NE(second.openError().find(pty.path), std::string::npos) << second.openError();
    EXPECT_NE(second.openError().find("занят"), std::string::npos) << second.openError();
    EXPECT_FALSE(second.startRead(nullptr, 0));
    first.close();
    TermiosPort third(pty.path);
    EXPECT_TRUE(third.isOpen()) << third.openError();
}

TEST(LinkTermiosPortOpen, MissingDeviceOrPlainFileFailsWithItsPath)
{
    TermiosPort missing("/dev/korlin-no-such-port");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_NE(missing.openError().find("/dev/korlin-no-such-port"), std::string::npos) << missing.openError();
    EXPECT_EQ(missing.openError().find('\n'), std::string::npos);

    const auto file = std::filesystem::temp_directory_path() / "korlin-link-not-a-tty";
    std::ofstream(file) << "x";
    TermiosPort plain(file.string());
    EXPECT_FALSE(plain.isOpen());
    EXPECT_NE(plain.openError().find(file.string()), std::string::npos) << plain.openError();
    std::filesystem::remove(file);
}

TEST(LinkTermiosPortOpen, ComNamesComeFromTheEnvironmentAndLinksAreValid)
{
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    const auto link = std::filesystem::temp_directory_path() / "korlin-link-by-id";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.path, link);
    setenv("KORLIN_COM2", link.c_str(), 1);
    unsetenv("KORLIN_COM1");
    EXPECT_EQ(TermiosPortOpener::devicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(TermiosPortOpener::devicePath("COM2"), link.string());
    EXPECT_EQ(TermiosPortOpener::devicePath("/dev/ttyUSB3"), "/dev/ttyUSB3");
    TermiosPortOpener opener;
    auto port = opener.open("COM2");
    EXPECT_TRUE(port->isOpen()) << port->openError();
    port.reset();
    unsetenv("KORLIN_COM2");
    std::filesystem::remove(link);
}

} // namespace
} // namespace korlin
