#include "services/usb_report.h"

#include <windows.h>

#include "platform/device.h"
#include "services/usb_walk.h"
#include "terminal/log.h"

namespace {

void* Open(void*, const char* name)
{
    HANDLE h = Device.OpenKernelDevice(name, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void Close(void*, void* device)
{
    CloseHandle(device);
}

int Request(void*, void* device, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
            uint32_t* returned)
{
    DWORD got = 0;
    BOOL ok = Device.DeviceIoControl(device, code, const_cast<void*>(in), inLength, out, outLength, &got, NULL);
    *returned = got;
    return ok ? 1 : 0;
}

int Property(DEVINST node, ULONG property, char* text, ULONG size)
{
    ULONG length = size;
    ULONG type = 0;
    if (Device.CM_Get_DevNode_Registry_PropertyA(node, property, &type, text, &length, 0) != CR_SUCCESS)
        return 0;
    text[size - 1] = 0;
    return 1;
}

// Depth first through the device tree, as far as the platform lets the walk go.
int Describe(void*, const char* driverKey, std::string* description)
{
    DEVINST node, next;
    if (Device.CM_Locate_DevNodeA(&node, NULL, 0) != CR_SUCCESS)
        return 0;
    for (int visited = 0; visited < 65536; visited++) {
        char text[512];
        if (Property(node, CM_DRP_DRIVER, text, sizeof text) && strcmp(text, driverKey) == 0) {
            if (!Property(node, CM_DRP_DEVICEDESC, text, sizeof text))
                return 0;
            *description = text;
            return 1;
        }
        if (Device.CM_Get_Child(&next, node, 0) == CR_SUCCESS) {
            node = next;
            continue;
        }
        while (Device.CM_Get_Sibling(&next, node, 0) != CR_SUCCESS) {
            if (Device.CM_Get_Parent(&next, node, 0) != CR_SUCCESS)
                return 0;
            node = next;
        }
        node = next;
    }
    return 0;
}

std::string Narrow(void*, const uint16_t* units, size_t count)
{
    if (count == 0)
        return "";
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(units), static_cast<int>(count), NULL, 0,
                                NULL, NULL);
    if (n <= 0)
        return "";
    std::string text(n, 0);
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(units), static_cast<int>(count), &text[0], n, NULL,
                        NULL);
    return text;
}

UsbReport Walk()
{
    UsbBus bus = {nullptr, Open, Close, Request, Describe, Narrow};
    UsbReport report;
    UsbTopologyWalk(bus, &report);
    return report;
}

}  // namespace

void UsbDescriptorCommand()
{
    UsbReport report = Walk();
    for (const std::string& line : report.lines)
        AppendDisplayLine(line.c_str());
    AppendDisplayLine("");
}

int UsbQuietWalk(const char* devicePath, const char* driverKey, char* speedText, size_t size,
                 uint32_t* vendorCapable)
{
    UsbReport report = Walk();
    const UsbWalkedDevice* d = FindWalkedDevice(report.devices, devicePath, driverKey);
    if (!d || size == 0)
        return 0;
    lstrcpynA(speedText, d->speed.c_str(), static_cast<int>(size));
    *vendorCapable = d->vendorCapable;
    return 1;
}
