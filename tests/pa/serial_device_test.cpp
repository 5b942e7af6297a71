// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The serial device scheme: the URIs it reads and refuses, and PAPPL's own
// schemes still there beside it.
#include <gtest/gtest.h>
#include <pappl/pappl.h>

#include <string>

#include "serial_device.h"

namespace zelp::pa {
namespace {

struct UriCase {
    const char* uri;
    bool ok;
    const char* path;
    int baud;
    SerialFlow flow;
};

TEST(SerialDevice, ReadsItsUrisAndCupssAndRefusesTheRest) {
    const UriCase cases[] = {
        {"serial:///dev/ttyUSB0?baud=115200&flow=rtscts", true, "/dev/ttyUSB0", 115200, SerialFlow::kRtsCts},
        {"serial:///dev/rfcomm0", true, "/dev/rfcomm0", 9600, SerialFlow::kNone},
        {"serial:/dev/ttyS0?baud=19200+bits=8+parity=none+flow=soft", true, "/dev/ttyS0", 19200,
         SerialFlow::kXonXoff},
        {"serial:///dev/serial/by-id/usb-Printer%20Port-if00?flow=hard&baud=921600", true,
         "/dev/serial/by-id/usb-Printer Port-if00", 921600, SerialFlow::kRtsCts},
        {"serial:///dev/ttyACM0?flow=xonxoff&baud=1200&flow=none", true, "/dev/ttyACM0", 1200, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?baud=9601", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?baud=4294976896", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?baud=", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?flow=dtrdsr", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?parity=even", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/ttyUSB0?speed=9600", false, "", 0, SerialFlow::kNone},
        {"serial:///etc/passwd", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/../etc/passwd", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/", false, "", 0, SerialFlow::kNone},
        {"serial://dev/ttyUSB0", false, "", 0, SerialFlow::kNone},
        {"serial:///dev/tty%zz", false, "", 0, SerialFlow::kNone},
        {"socket://127.0.0.1:9100", false, "", 0, SerialFlow::kNone},
    };
    for (const UriCase& c : cases) {
        SCOPED_TRACE(c.uri);
        SerialLine line;
        std::string error;
        ASSERT_EQ(ParseSerialUri(c.uri, &line, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(line.path, c.path);
        EXPECT_EQ(line.baud, c.baud);
        EXPECT_EQ(line.flow, c.flow);
    }
}

TEST(SerialDevice, JoinsPapplsOwnSchemes) {
    AddSerialScheme();
    for (const char* uri : {"serial:///dev/ttyUSB0", "socket://127.0.0.1:9100", "usb://ZELP/Receipt", "dnssd://x"}) {
        EXPECT_TRUE(papplDeviceIsSupported(uri)) << uri;
    }
    // Every port listed opens as the URI it is listed with.
    papplDeviceList(
        PAPPL_DEVTYPE_CUSTOM_LOCAL,
        [](const char* info, const char* uri, const char*, void*) {
            SerialLine line;
            std::string error;
            EXPECT_TRUE(ParseSerialUri(uri, &line, &error)) << info << ": " << error;
            return false;
        },
        nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace zelp::pa
