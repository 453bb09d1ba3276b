#include "link/MeterModel.h"
#include "link/SwitchedTransport.h"
#include "link/TcpTransport.h"
#include "link/UsbtmcTransport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"

#include <climits>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <typeinfo>
#include <unistd.h>

using psucal::MeterModel;

namespace {

QByteArray Drain(int fd)
{
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, static_cast<int>(n)) : QByteArray();
}

} // namespace

TEST(MeterTable, TheIdentityPicksTheRowAndTheRangeItsAccuracy)
{
    const struct {
        const char* identity;
        const char* model;
    } cases[] = {{"HEWLETT-PACKARD,34401A,0,11-5-2\r", "34401A"},
                 {"Keysight Technologies,34465A,MY57500123,A.02.14", "34465A"},
                 {"Agilent Technologies, 34461a ,MY1,A.01", "34461A"},
                 {"FLUKE,8846A,123,1.0", nullptr},
                 {"34401A", nullptr},
                 {"", nullptr}};
    for (const auto& c : cases) {
        const MeterModel* m = MeterModel::FromIdentity(QString::fromLatin1(c.identity));
        EXPECT_EQ(m ? QString(m->model) : QString(), QString::fromLatin1(c.model)) << c.identity;
    }
}

TEST(MeterPort, TheNameChoosesTheKindAndANetworkAddressIsReadStrictly)
{
    psucal::SwitchedTransport port(psucal::SerialTransport::Settings{9600, 2});
    const struct {
        const char* name;
        const std::type_info& kind;
    } kinds[] = {{"COM2", typeid(psucal::SerialTransport)},
                 {"tcp://10.0.0.7", typeid(psucal::TcpTransport)},
                 {"/dev/usbtmc0", typeid(psucal::UsbtmcTransport)},
                 {"/dev/usbtmc", typeid(psucal::SerialTransport)}};
    for (const auto& k : kinds) {
        port.setPortName(k.name);
        EXPECT_EQ(typeid(port.current()), k.kind) << k.name;
        EXPECT_EQ(port.portName(), k.name);
    }

    const struct {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } addresses[] = {{"tcp://10.0.0.7", true, "10.0.0.7", 5025},  {"TCP://meter.lab:5555/", true, "meter.lab", 5555},
                     {"tcp://[::1]:7", true, "::1", 7},            {"tcp://host:0", false, "", 0},
                     {"tcp://host:70000", false, "", 0},           {"tcp://:5025", false, "", 0},
                     {"tcp://a:b", false, "", 0}};
    for (const auto& a : addresses) {
        QString host;
        int p = 0;
        ASSERT_EQ(psucal::TcpTransport::Parse(a.text, &host, &p), a.ok) << a.text;
        if (a.ok) {
            EXPECT_TRUE(host == a.host && p == a.port) << a.text;
        }
    }
}

// A pseudo-terminal stands in for the USBTMC device: a command goes out whole, and a reply is
// read only after a query.
TEST(MeterPort, UsbtmcReadsAReplyOnlyAfterAQueryAndGivesUpOnASilentOne)
{
    EnsureCoreApp();
    termios raw{};
    cfmakeraw(&raw);
    int master = -1, slave = -1;
    char name[PATH_MAX] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, &raw, nullptr), 0);
    psucal::UsbtmcTransport port;
    port.setPortName(QString::fromLocal8Bit(name));
    ASSERT_TRUE(port.open());

    ASSERT_EQ(::write(master, "+1.2E+01\r\n", 10), 10);
    ASSERT_TRUE(port.write(":SYST:REM\n"));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_EQ(Drain(master), ":SYST:REM\n");
    ASSERT_TRUE(port.write(":READ?\n"));
    EXPECT_EQ(port.readAll(), "+1.2E+01\r\n");
    EXPECT_EQ(Drain(master), ":READ?\n");

    ASSERT_TRUE(port.write("*IDN?\n"));
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_TRUE(port.isOpen());
    port.close();
    ::close(slave);
    ::close(master);
}
