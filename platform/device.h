// The device calls the platform serves through kernel drivers, in one table. It holds
// the platform's own functions; only handles and devices of the simulated printer are
// routed elsewhere, so without the simulator every call reaches the platform unchanged.
//
// Product code calls Device.X(...) wherever it would call X(...): DeviceIoControl on any
// device handle, OpenKernelDevice for "\\.\HCD%d" and hub names, the SetupDi and CM calls,
// and WriteFile on device handles (so a test can make a write fail the way a device does).
// Routing: a handle is the simulator's when it is a pipe named "\Device\NamedPipe\tarvex-sim\N..."
// (sim/control.h); its requests go to the device's control pipe. Enumeration of the USB
// printer interface class and the device-node tree gain the simulator's bus nodes while its
// bus pipe exists. A handle whose simulated device vanished is a broken pipe and gets the
// platform's answers; a simulator that does not answer within 5 s gives ERROR_SEM_TIMEOUT.
#pragma once
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

struct DeviceCalls {
  BOOL(WINAPI* DeviceIoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  // Host controller ("\\.\HCD%d") and hub names only; every other open is CreateFileA's.
  HANDLE(WINAPI* OpenKernelDevice)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID*, PCSTR, HWND, DWORD);
  BOOL(WINAPI* SetupDiEnumDeviceInterfaces)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                            PSP_DEVICE_INTERFACE_DATA);
  BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                                 PSP_DEVINFO_DATA);
  HKEY(WINAPI* SetupDiOpenDeviceInterfaceRegKey)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, DWORD, REGSAM);
  BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO);
  CONFIGRET(WINAPI* CM_Locate_DevNodeA)(PDEVINST, DEVINSTID_A, ULONG);
  CONFIGRET(WINAPI* CM_Get_Child)(PDEVINST, DEVINST, ULONG);
  CONFIGRET(WINAPI* CM_Get_Sibling)(PDEVINST, DEVINST, ULONG);
  CONFIGRET(WINAPI* CM_Get_Parent)(PDEVINST, DEVINST, ULONG);
  CONFIGRET(WINAPI* CM_Get_DevNode_Registry_PropertyA)(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG);
  BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
};

extern DeviceCalls Device;

// A device-control request on a handle opened for overlapped I/O (one a receive thread may
// read on meanwhile), with its own record; one that does not complete within `ms` is
// cancelled and fails with ERROR_SEM_TIMEOUT.
BOOL DeviceRequest(HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength, LPDWORD returned,
                   DWORD ms);
const DWORD DEVICE_REQUEST_MS = 5000;

// The USB printer device interface class.
extern const GUID DeviceUsbPrinterClass;

// For tests, in this process: the next Device.WriteFile on a handle of the simulated
// device named `name` fails at once with `error` (170 busy, 21 not ready, ...).
void DeviceFailNextWrite(const char* name, DWORD error);
