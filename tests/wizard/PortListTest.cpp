#include "wizard/PortList.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using psucal::PortList;

namespace {

const QStringList kComs{"COM1", "COM2", "COM3", "COM4"};

TEST(PortList, TheFourComPortsThenUsbAndAcmDevicesInNaturalOrder)
{
    EXPECT_EQ(PortList::build({}, {}), kComs);
    const QStringList present{"/dev/ttyS0",   "/dev/ttyS5",   "/dev/ttyUSB10",
                              "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/pts/3",
                              "/dev/serial/by-id/usb-FTDI_FT232R_A9B-if00-port0",
                              "/dev/serial/by-id/usb-FTDI_FT232R_A7C-if00-port0"};
    // The adapters' stable names come beside their tty names, which may move on a replug.
    EXPECT_EQ(PortList::build(present, {}),
              (kComs + QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10",
                                   "/dev/serial/by-id/usb-FTDI_FT232R_A7C-if00-port0",
                                   "/dev/serial/by-id/usb-FTDI_FT232R_A9B-if00-port0"}));
}

TEST(PortList, CommandLinePortsAppearOnceAndNeverShadowAnEntry)
{
    const QStringList given{"/dev/ttyS0", "COM3", "ttyUSB2", "/dev/pts/7", "/dev/pts/7", "", " /dev/pts/8 "};
    const QStringList list = PortList::build({"/dev/ttyUSB2"}, given);
    EXPECT_EQ(list, (kComs + QStringList{"/dev/ttyUSB2", "/dev/pts/7", "/dev/pts/8"}));
}

TEST(PortList, IndexOfFindsTheEntryForTheSameDevice)
{
    const QStringList list = PortList::build({"/dev/ttyUSB0"}, {"/dev/pts/4"});
    EXPECT_EQ(PortList::indexOf(list, "COM1"), 0);
    EXPECT_EQ(PortList::indexOf(list, "/dev/ttyS2"), 2);
    EXPECT_EQ(PortList::indexOf(list, "ttyUSB0"), 4);
    EXPECT_EQ(PortList::indexOf(list, "/dev/pts/4"), 5);
    EXPECT_EQ(PortList::indexOf(list, "/dev/pts/9"), -1);
    EXPECT_EQ(PortList::indexOf(list, ""), -1);
    // Only COM1..COM4 are aliases; COM5 is not /dev/ttyS4.
    EXPECT_FALSE(PortList::sameDevice("COM5", "/dev/ttyS4"));
}

} // namespace
