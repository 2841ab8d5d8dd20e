#pragma once
// The USB report's lines, formed from the bytes the hub driver returns: node
// records, descriptor sets and string descriptors. Every reader stays inside the
// byte count it is given, whatever lengths the device claims.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::string> ReportLines;

// Only devices of this vendor are listed; hubs are explored whatever their vendor.
const uint16_t MAKER_VENDOR_ID = 0x4B56;

// USB_NODE_CONNECTION_INFORMATION with room for 30 open pipes, and USB_NODE_INFORMATION.
const uint32_t USB_CONNECTION_RECORD_SIZE = 365;
const uint32_t USB_CONNECTION_HEADER_SIZE = 35;
const uint32_t USB_HUB_RECORD_SIZE = 76;

// One fetched string descriptor, its text already in the ANSI code page.
struct UsbString {
    uint8_t index;
    uint16_t language;
    std::string text;
};
typedef std::vector<UsbString> UsbStrings;

uint16_t Le16(const uint8_t* p);
uint32_t Le32(const uint8_t* p);

// "DeviceConnected" and the other five names; a number beyond the table is shown as such.
std::string ConnectionStatusName(uint32_t status);

// The record's fields; the record holds at least USB_CONNECTION_HEADER_SIZE bytes.
uint16_t ConnectionVendor(const uint8_t* record);
uint16_t ConnectionProduct(const uint8_t* record);
int ConnectionIsHub(const uint8_t* record);
uint32_t ConnectionStatus(const uint8_t* record);
const char* SpeedText(const uint8_t* record);  // "Speed = Low", "Speed = Full(12Mbps)", "Speed = High(480Mbps)"
int VendorCapable(const uint8_t* record);      // bcdDevice 0x0200 or more

void HubLines(const uint8_t* hub, ReportLines& out);  // hub holds USB_HUB_RECORD_SIZE bytes
void DeviceLines(const uint8_t* record, size_t length, const UsbStrings& strings, ReportLines& out);
void ConfigurationWalk(const uint8_t* set, size_t length, const UsbStrings& strings, ReportLines& out);
void StringLines(uint8_t index, const UsbStrings& strings, ReportLines& out);

// The string indices of a device, in fetch order, each once: iManufacturer, iProduct,
// iSerialNumber, then iConfiguration and iInterface as they occur in the set.
std::vector<uint8_t> StringIndices(const uint8_t* record, const uint8_t* set, size_t length);
