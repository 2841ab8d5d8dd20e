// The device calls the platform serves through kernel drivers, in one table. It holds
// the platform's own functions; only handles and devices of the simulated printer are
// routed elsewhere, so without the simulator every call reaches the platform unchanged.
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
};

extern DeviceCalls Device;
