#include "ports/usb/usb.h"

#include <winspool.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "common/resource.h"
#include "common/ui.h"
#include "ports/usb/device_id.h"
#include "send/frame.h"
#include "terminal/log.h"

UsbPrinterEntry UsbPrinters[USB_PRINTER_ENTRIES];
int UsbPrinterCount;
char UsbChosenName[260];
char UsbSpeedText[32];
Word UsbJobCancelRequest, UsbStatusCommand;
UsbServiceHooks UsbServices;

ConnectionBlock* UsbBlock;
static const char printerName[] = "USBTST2";
const DWORD DEVICE_ID_SIZE = 1024;

static void ListUsbPorts() {
  UsbPrinterCount = 0;
  DWORD needed = 0, returned = 0;
  EnumPortsA(NULL, 1, NULL, 0, &needed, &returned);
  if (needed == 0 || needed > (1u << 24)) return;
  BYTE* list = (BYTE*)calloc(1, needed);
  if (!list) return;
  if (EnumPortsA(NULL, 1, list, needed, &needed, &returned)) {
    PORT_INFO_1A* ports = (PORT_INFO_1A*)list;
    for (DWORD i = 0; i < returned && UsbPrinterCount < USB_PRINTER_ENTRIES; i++)
      if (ports[i].pName && strstr(ports[i].pName, "USB"))
        CopyBounded(UsbPrinters[UsbPrinterCount++].portName, sizeof UsbPrinters[0].portName, ports[i].pName);
  }
  free(list);
}

// The device ID into the connection block's buffer, terminated; 0 or the access layer's code.
static int ReadDeviceId(ConnectionBlock* block, HANDLE handle) {
  if (!block->deviceIdBuffer) block->deviceIdBuffer = (unsigned char*)calloc(1, DEVICE_ID_SIZE + 1);
  if (!block->deviceIdBuffer) return 8;
  memset(block->deviceIdBuffer, 0, DEVICE_ID_SIZE + 1);
  DWORD count = 0;
  int code = UsbAccessGetDeviceId(handle, block->deviceIdBuffer, DEVICE_ID_SIZE, &count, block->deviceIdTimeLimit);
  block->deviceIdLength = count;
  TerminateDeviceId((char*)block->deviceIdBuffer, DEVICE_ID_SIZE, count);
  return code;
}

void UsbPrepare(ConnectionBlock* block) {
  memset(UsbPrinters, 0, sizeof UsbPrinters);
  ListUsbPorts();
  for (int i = 0; i < UsbPrinterCount; i++) {
    UsbPrinterEntry* e = &UsbPrinters[i];
    CopyBounded(block->portName, sizeof block->portName, e->portName);
    HANDLE handle;
    if (UsbAccessOpen(&handle, printerName, e->portName) != 0) {
      CopyBounded(e->displayText, sizeof e->displayText, "Printer non");
      continue;
    }
    DeviceIdFields id = {};
    int read = ReadDeviceId(block, handle) == 0 && block->deviceIdLength > 0;
    if (read) ParseDeviceId(&id, (char*)block->deviceIdBuffer);
    CopyBounded(e->displayText, sizeof e->displayText, read && id.model ? id.model : "No DeviceID ");
    UsbAccessClose(handle);
    e->opened = 1;
  }
}

static void ReportOpen(int result, HANDLE handle) {
  switch (result) {
    case 0: ConnectionLogMessage("USB:Open Handle = %llx", (unsigned long long)(uintptr_t)handle); break;
    case 4: AppendDisplayLine("Error:Already Opened."); break;
    case 5: ConnectionLogMessage("Open processing was canceled."); break;
    case USB_NO_MEMORY: AppendDisplayLine("Error:Insufficient Memory."); break;
    case USB_BAD_ARGUMENT: AppendDisplayLine("Error:Unknown."); break;
    default: DisplayLine("Open Port error = %d", result);
  }
}

int UsbConnect(HWND owner, ConnectionBlock* block) {
  ConnectionLogMessage("USB:Open Start");
  int result;
  if (block->usbHandle != INVALID_HANDLE_VALUE) {
    result = 4;
  } else if (UsbPrepare(block), !UsbDialog(owner)) {
    result = 5;
  } else {
    CopyBounded(block->portName, sizeof block->portName, UsbChosenName);
    CopyBounded(block->printerName, sizeof block->printerName, printerName);
    ConnectionLogMessage("USB:%s", block->portName);
    result = UsbAccessOpen(&block->usbHandle, block->printerName, block->portName);
  }
  ReportOpen(result, block->usbHandle);
  UsbSpeedText[0] = 0;
  UsbVendorFlag = 0;
  if (result == 0 || result == 5) MibRequestCounter = 1;
  return result == 0;
}

void UsbPostConnection(ConnectionBlock* block) {
  UsbPrinterEntry* e = (UsbPrinterEntry*)UsbEntryOfPort(UsbPrinters, UsbPrinterCount, block->portName);
  UsbAccessRecord* r = UsbAccessLock(block->usbHandle);
  if (r && e && UsbServices.walk) {
    QuietFlag = 1;
    UsbServices.walk(r->devicePath, "", e->speedText, sizeof e->speedText, &e->vendorCapable);
    QuietFlag = 0;
  }
  if (r) UsbAccessUnlock(r);
  if (e) {
    CopyBounded(UsbSpeedText, sizeof UsbSpeedText, e->speedText);
    UsbVendorFlag = e->vendorCapable;
  }
  if (UsbVendorFlag != 0) return;
  CheckMenuItem(hMainMenu, IDM_MIB_REFER, MF_BYCOMMAND | MF_UNCHECKED);
  CheckMenuItem(hMainMenu, IDM_GET_JOB_END, MF_BYCOMMAND | MF_UNCHECKED);
  MibReferCheck = GetJobEndCheck = 0;
}

void UsbDisconnect(ConnectionBlock* block) {
  ConnectionLogMessage("USB:Port Close");
  int code = 6;
  if (block->usbHandle != INVALID_HANDLE_VALUE) {
    UsbStopTransfers();
    Ports[IF_USB].sending = 0;
    code = UsbAccessClose(block->usbHandle);
  }
  if (code == 0) {
    block->usbHandle = INVALID_HANDLE_VALUE;
    ConnectionLogMessage("Close Success");
  } else if (code == 6) {
    AppendDisplayLine("Error:Port not opened.");
  } else if (code == USB_BAD_HANDLE) {
    AppendDisplayLine("Error:Unknown");
  } else {
    DisplayLine("Close Port error = %d", code);
  }
  StringCheckFlag = 0;
}

void UsbDeviceIdCommand(ConnectionBlock* block) {
  int code = block->usbHandle == INVALID_HANDLE_VALUE ? 6 : ReadDeviceId(block, block->usbHandle);
  if (code == 0) {
    DeviceIdFields id = {};
    ParseDeviceId(&id, (char*)block->deviceIdBuffer);
    DisplayLine("IDNum = %u", (unsigned)block->deviceIdLength);
    DisplayLine("Manufacturer = %s", FieldText(id.manufacturer));
    DisplayLine("Command Set = %s", FieldText(id.commandSet));
    DisplayLine("Model = %s", FieldText(id.model));
    DisplayLine("Class = %s", FieldText(id.cls));
    DisplayLine("Device Description = %s", FieldText(id.description));
    DisplayLine("Hardware IDs = %s", FieldText(id.automaticId));
    DisplayLine("Compatible IDs = %s", FieldText(id.compatibleId));
  } else if (code == USB_DEVICE_ID_FAILED) {
    AppendDisplayLine("Error:GetDeviceID TimeOut.");
  } else if (code == USB_BAD_HANDLE) {
    AppendDisplayLine("Error:Unkown");
  } else if (code == 8) {
    AppendDisplayLine("Error:Insufficient Memory.");
  } else if (code == 6) {
    AppendDisplayLine("Error:Port not opened.");
  } else {
    DisplayLine("GetDeviceID Error = %d", code);
  }
}

int UsbJobCancelCommand(HWND) {
  UsbJobCancelRequest = 0;
  if (Ports[IF_USB].connected != 1) return 0;
  ConnectionBlock* block = UsbBlock;
  unsigned char answer[7] = {};
  int code = block->usbHandle == INVALID_HANDLE_VALUE ? 6 : UsbAccessClearBuffer(block->usbHandle, answer);
  if (code == USB_BAD_HANDLE) AppendDisplayLine("Error:Unkown.");
  else if (code == USB_REQUEST_FAILED) AppendDisplayLine("Error:Timeout");
  else if (code == 6) AppendDisplayLine("Error:Port not opened.");
  else if (code != 0) DisplayLine("Buffer Clear Check Error = %d", code);
  Ports[IF_USB].sending = 0;
  return code == 0;
}
