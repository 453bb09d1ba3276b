#include "wizard/PortList.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using psucal::PortList;

namespace {

const QStringList kComs{"COM1", "COM2", "COM3", "COM4"};

TEST(PortList, TheFourComPortsThenUsbAndAcmDevicesInNaturalOrder)
{
    EXPECT_EQ(PortList::build({}, {}, {}), kComs);
    const QStringList present{"/dev/ttyS0",   "/dev/ttyS5",   "/dev/ttyUSB10",
                              "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/pts/3"};
    EXPECT_EQ(PortList::build(present, {}, {}), (kComs + QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

TEST(PortList, CommandLinePortsAppearOnceAndNeverShadowAnEntry)
{
    const QStringList given{"/dev/ttyS0", "COM3", "ttyUSB2", "/dev/pts/7", "/dev/pts/7", "", " /dev/pts/8 "};
    const QStringList list = PortList::build({"/dev/ttyUSB2"}, given, {});
    EXPECT_EQ(list, (kComs + QStringList{"/dev/ttyUSB2", "/dev/pts/7", "/dev/pts/8"}));
}

TEST(PortList, IndexOfFindsTheEntryForTheSameDevice)
{
    const QStringList list = PortList::build({"/dev/ttyUSB0"}, {"/dev/pts/4"}, {});
    EXPECT_EQ(PortList::indexOf(list, "COM1"), 0);
    EXPECT_EQ(PortList::indexOf(list, "/dev/ttyS2"), 2);
    EXPECT_EQ(PortList::indexOf(list, "ttyUSB0"), 4);
    EXPECT_EQ(PortList::indexOf(list, "/dev/pts/4"), 5);
    EXPECT_EQ(PortList::indexOf(list, "/dev/pts/9"), -1);
    EXPECT_EQ(PortList::indexOf(list, ""), -1);
    // Only COM1..COM4 are aliases; COM5 is not /dev/ttyS4.
    EXPECT_FALSE(PortList::sameDevice("COM5", "/dev/ttyS4"));
}

// Links to devices this machine may not have: each name follows its adapter, one whose adapter is
// absent still comes before the given ports.
TEST(PortList, ByIdNamesFollowTheirAdapterAndAreNamesOfTheirOwn)
{
    QTemporaryDir dir;
    const auto link = [&](const QString& name, const QString& target) {
        QFile::link(target, dir.filePath(name));
        return dir.filePath(name);
    };
    const QString a = link("usb-FTDI_A1-if00-port0", "/dev/ttyUSB1");
    const QString b = link("usb-FTDI_B2-if00-port0", "/dev/ttyUSB0");
    const QString gone = link("usb-Prolific_C3-port0", "/dev/ttyUSB7");
    QStringList byId = PortList::byIdNames(dir.path());
    byId.sort();
    ASSERT_EQ(byId, (QStringList{a, b, gone}));
    const QStringList list = PortList::build({"/dev/ttyUSB1", "/dev/ttyUSB0"}, {"/dev/pts/4", b}, byId);
    EXPECT_EQ(list, kComs + QStringList({"/dev/ttyUSB0", b, "/dev/ttyUSB1", a, gone, "/dev/pts/4"}));
    EXPECT_EQ(PortList::indexOf(list, b), 5);
}

} // namespace
