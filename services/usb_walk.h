#pragma once
// The USB topology walk: host controllers, their root hubs, external hubs and the
// maker's devices on their ports, asked through the hub driver's requests. The bus
// is a table of calls, so the same walk runs over the platform and over a simulated tree.

#include "services/usb_descriptor.h"

const uint32_t IOCTL_GET_HCD_DRIVERKEY_NAME = 0x00220424;
const uint32_t IOCTL_USB_GET_ROOT_HUB_NAME = 0x00220408;
const uint32_t IOCTL_USB_GET_NODE_INFORMATION = 0x00220408;
const uint32_t IOCTL_USB_GET_NODE_CONNECTION_INFORMATION = 0x0022040C;
const uint32_t IOCTL_USB_GET_NODE_CONNECTION_NAME = 0x00220414;
const uint32_t IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME = 0x00220420;
const uint32_t IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION = 0x00220410;

// Names longer than this (in bytes, as the driver counts them) are no names.
const uint32_t USB_NAME_LIMIT = 2048;
// Hubs below the root hub; the bus allows five, a deeper chain is a device lying.
const int USB_HUB_DEPTH_LIMIT = 6;

struct UsbBus {
    void* context;
    void* (*open)(void* context, const char* name);  // "\\.\HCD0" or "\\.\" + hub name; null when absent
    void (*close)(void* context, void* device);
    // One device-control request; 1 with *returned set, 0 when it failed.
    int (*request)(void* context, void* device, uint32_t code, const void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned);
    // The device description of the node with this driver key; 0 when there is none.
    int (*describe)(void* context, const char* driverKey, std::string* description);
    std::string (*narrow)(void* context, const uint16_t* units, size_t count);  // UTF-16 to the ANSI code page
};

// A listed device of the maker, as the connection pairs it with its printer.
struct UsbWalkedDevice {
    std::string driverKey;
    uint16_t vendor;
    uint16_t product;
    std::string serial;  // in the first language; empty when the device has none
    std::string speed;
    int vendorCapable;
};

struct UsbReport {
    ReportLines lines;
    std::vector<UsbWalkedDevice> devices;  // in walk order
};

void UsbTopologyWalk(const UsbBus& bus, UsbReport* report);

// The walked device that is the printer behind this device path, by the driver key of
// its node when known, else by the vendor, product and serial number the path carries
// ("...#VID_4B56&PID_0001#SERIAL#..."); null when none matches.
const UsbWalkedDevice* FindWalkedDevice(const std::vector<UsbWalkedDevice>& devices, const char* devicePath,
                                        const char* driverKey);
