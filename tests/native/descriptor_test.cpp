#include "services/usb_descriptor.h"

#include "tests/native/test_util.h"

#include <algorithm>

namespace {

ReportLines Walk(const std::string& set) {
    ReportLines out;
    ConfigurationWalk(U(set), set.size(), {}, out);
    return out;
}

// A node connection record with this device descriptor tail. (Pipes, strings and
// configurations are in the reviewed reports of the simulated trees.)
std::string Record(uint16_t usb, int lowSpeed, uint16_t release) {
    std::string r(35, 0);
    r[0] = 1;
    r[4] = 18;
    r[5] = 1;
    r[6] = usb & 0xFF;
    r[7] = usb >> 8;
    r[12] = 0x56;
    r[13] = 0x4B;
    r[16] = release & 0xFF;
    r[17] = release >> 8;
    r[23] = static_cast<char>(lowSpeed);
    r[31] = 1;
    return r;
}

int Count(const ReportLines& lines, const std::string& line) { return std::count(lines.begin(), lines.end(), line); }

}  // namespace

TEST(Descriptor, DeviceLinesAndSpeed) {
    struct Case {
        uint16_t usb, lowSpeed, release;
        const char *speedLine, *speedText;
        int vendorCapable;
    } cases[] = {
        {0x0200, 0, 0x01FF, "  - Device Bus Speed:     High", "Speed = High(480Mbps)", 0},
        {0x0200, 1, 0x0200, "  - Device Bus Speed:      Low", "Speed = Low", 1},
        {0x0110, 0, 0x0300, "  - Device Bus Speed:     Full", "Speed = Full(12Mbps)", 1},
    };
    for (const Case& c : cases) {
        std::string r = Record(c.usb, c.lowSpeed, c.release);
        ReportLines out;
        DeviceLines(U(r), r.size(), {}, out);
        EXPECT_EQ(out[15], c.speedLine);
        EXPECT_STREQ(SpeedText(U(r)), c.speedText);
        EXPECT_EQ(VendorCapable(U(r)), c.vendorCapable);
    }
}

TEST(Descriptor, EndpointHidUnknownAndTheWalksEnd) {
    EXPECT_EQ(Walk(B({9, 5, 0x03, 1, 0x00, 2, 0x34, 0x12, 0x05})),
              (ReportLines{"  -Endpoint Descriptor:", "  - bEndpointAddress:     0x03", "  - Transfer Type: Isochronous",
                           "  - wMaxPacketSize:     0x0200 (512)", "  - wInterval:          0x1234",
                           "  - bSyncAddress:         0x05"}));
    // A known type with a length of its own is unknown.
    EXPECT_EQ(Walk(B({8, 5, 0x81, 2, 0x40, 0, 0, 9})).front(), "  -Unknown Descriptor:");
    // Two HID entries claimed, room for one.
    EXPECT_EQ(Walk(B({9, 0x21, 0x10, 0x01, 0, 2, 0x22, 0x34, 0x00})),
              (ReportLines{"  -HID Descriptor:", "  - bcdHID:             0x0110", "  - bCountryCode:         0x00",
                           "  - bNumDescriptors:      0x02", "  - bDescriptorType:      0x22",
                           "  - wDescriptorLength:  0x0034"}));
    // The walk ends at a length that does not fit.
    const std::string e = B({7, 5, 0x81, 2, 0x40, 0, 0});
    struct Case { std::string set; int endpoints; } cases[] = {
        {e + e, 2},
        {e + B({9, 5, 2}), 1},        // claims more than remains
        {e + B({0, 5, 2}) + e, 1},    // zero length ends the walk
        {e + B({1, 5, 2}) + e, 1},    // too short to hold its type
        {e + e + B({7, 5}), 2},       // fewer than 3 bytes left
    };
    for (const Case& c : cases) {
        ReportLines out = Walk(c.set);
        EXPECT_EQ(Count(out, "  -Endpoint Descriptor:"), c.endpoints);
        EXPECT_EQ(Count(out, "  -Unknown Descriptor:"), 0);
    }
}

TEST(Descriptor, HubLinesAndStatusNames) {
    std::string hub(USB_HUB_RECORD_SIZE, 0);  // the other settings are in the reviewed reports
    hub[6] = 4;
    ReportLines out;
    hub[75] = 1;
    hub[7] = 0x16;
    HubLines(U(hub), out);
    EXPECT_EQ(out, (ReportLines{"-Hub Power:               Bus Power", "-Number of Ports:         4",
                                "-Power switching:         None", "-Compound device:         Yes",
                                "-No Over-current Protection (Bus Power Only)"}));
    EXPECT_EQ(ConnectionStatusName(5), "DeviceNotEnoughPower");
    EXPECT_EQ(ConnectionStatusName(6), "ConnectionStatus(6)");
    EXPECT_EQ(ConnectionStatusName(0xFFFFFFFF), "ConnectionStatus(4294967295)");
}
