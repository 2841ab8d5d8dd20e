#include "services/usb_walk.h"
#include "sim/usb_tree.h"

#include "tests/native/test_util.h"

#include <codecvt>
#include <cstring>
#include <locale>
#include <fstream>
#include <sstream>

namespace {

// The walk's bus over the simulated tree, as the device seam serves it: names open the
// tree's controllers and hubs, requests go to their handler, the CM tree knows the nodes.
struct TreeBus {
    UsbTree tree;
    std::vector<UsbTreeName> names;
    int opened = 0;
    uint64_t largestOut = 0;
};

void* Open(void* context, const char* name) {
    TreeBus& bus = *static_cast<TreeBus*>(context);
    for (UsbTreeName& n : bus.names)
        if (std::strncmp(name, "\\\\.\\", 4) == 0 && n.name == name + 4) {
            bus.opened++;
            return n.node;
        }
    return nullptr;
}

void Close(void* context, void*) {
    static_cast<TreeBus*>(context)->opened--;
}

int Request(void* context, void* device, uint32_t code, const void* in, uint32_t inLength, void* out,
            uint32_t outLength, uint32_t* returned) {
    TreeBus& bus = *static_cast<TreeBus*>(context);
    bus.largestOut = std::max<uint64_t>(bus.largestOut, outLength);
    ControlAnswer a = UsbTreeAnswer(device, {code, std::string(static_cast<const char*>(in), inLength), outLength});
    std::memcpy(out, a.out.data(), a.out.size());
    *returned = static_cast<uint32_t>(a.out.size());
    return a.success;
}

int Describe(void* context, const char* key, std::string* description) {
    for (const UsbTreeDevNode& n : UsbTreeDevNodes(static_cast<TreeBus*>(context)->tree))
        if (n.driverKey == key) {
            *description = n.description;
            return 1;
        }
    return 0;
}

// UTF-8, so that the expected text can be read.
std::string Narrow(void*, const uint16_t* units, size_t count) {
    std::u16string text(units, units + count);
    return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().to_bytes(text);
}

UsbReport WalkTree(TreeBus& bus, int hostile) {
    UsbTreeBuild(&bus.tree, hostile);
    bus.names = UsbTreeNames(bus.tree);
    UsbBus calls = {&bus, Open, Close, Request, Describe, Narrow};
    UsbReport report;
    WalkUsbTopology(calls, &report);
    return report;
}

// The report as text, one line each; where it differs from the reviewed file, the
// actual text is left in the working folder for review.
void ExpectGolden(const UsbReport& report, const char* name) {
    std::string text;
    for (const std::string& line : report.lines)
        text += line + "\n";
    std::stringstream expected;
    expected << std::ifstream(TARVEX_GOLDEN_DIR + std::string(name), std::ios::binary).rdbuf();
    if (text != expected.str())
        std::ofstream(std::string(name) + ".actual") << text;
    EXPECT_EQ(text, expected.str()) << name;
}

}  // namespace

// The plain tree, and one with devices that answer with truncated and hostile lengths; the
// plain tree's printers are then found by their identity.
TEST(UsbReport, SimulatedTreesMatchTheReviewedReportsAndPairPrintersByIdentity) {
    UsbReport report;
    for (int hostile : {1, 0}) {
        TreeBus bus;
        report = WalkTree(bus, hostile);
        ExpectGolden(report, hostile ? "usb_report_hostile.txt" : "usb_report_tree.txt");
        EXPECT_EQ(bus.opened, 0);
        EXPECT_LE(bus.largestOut, 12u + 0xFFFF);  // a 2 GB name length is no name
    }
    ASSERT_EQ(report.devices.size(), 2u);
    struct Case { const char* path; const char* driverKey; const char* speed; int vendorCapable; } cases[] = {
        // The spooler may list the full-speed printer first: the pairing does not go by order.
        {"\\\\?\\usb#vid_4b56&pid_0002#tarvexsim0002#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", "", "Speed = Full(12Mbps)", 0},
        {"\\\\?\\USB#VID_4B56&PID_0001#TARVEXSIM0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", nullptr,
         "Speed = High(480Mbps)", 1},
        {"", "{36FC9E60-C465-11CF-8056-444553540000}\\0006", "Speed = Full(12Mbps)", 0},
        {"\\\\?\\usb#vid_4b56&pid_0001#5&3a0b1c&0&1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", "",
         "Speed = High(480Mbps)", 1},
    };
    for (const Case& c : cases) {
        const UsbWalkedDevice* d = FindWalkedDevice(report.devices, c.path, c.driverKey);
        ASSERT_NE(d, nullptr) << c.path;
        EXPECT_EQ(d->speed, c.speed) << c.path;
        EXPECT_EQ(d->vendorCapable, c.vendorCapable) << c.path;
    }
    EXPECT_EQ(FindWalkedDevice(report.devices, "\\\\?\\usb#vid_4b56&pid_0999#x#{x}", ""), nullptr);
    EXPECT_EQ(FindWalkedDevice(report.devices, "\\\\?\\usb#vid_4b56&pid_00", ""), nullptr);
    EXPECT_EQ(FindWalkedDevice(report.devices, nullptr, "{unknown}"), nullptr);
}
