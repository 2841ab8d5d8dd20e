// The USB access layer: a printer port name such as USB001 turned into an open printer
// (its control handle and its two data pipes) behind an opaque handle, with the printer's
// settings from the registry and the reopen that finds an unplugged printer again. It
// reports nothing to the user: every operation returns 0 or a code of access_rules.h.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "ports/usb/access_rules.h"

struct UsbAccessRecord {
  uint32_t size;
  HANDLE mutex;
  HANDLE control;
  HANDLE writePipe;
  HANDLE readPipe;
  char* portName;
  uint32_t settings[USB_SETTINGS];
  char* devicePath;
  char* writePipePath;
  char* readPipePath;
  unsigned char statusByte;
};

// The pipes of the most recently opened or reopened printer, for the data transfers.
extern volatile HANDLE UsbWritePipe, UsbReadPipe;

int UsbAccessOpen(HANDLE* handle, const char* printerName, const char* portName);
int UsbAccessClose(HANDLE handle);
int UsbAccessGetDeviceId(HANDLE handle, unsigned char* buffer, DWORD size, DWORD* count, DWORD timeLimit);
int UsbAccessReadStatus(HANDLE handle, unsigned char* answer);   // 4 bytes
int UsbAccessClearBuffer(HANDLE handle, unsigned char* answer);  // 4 bytes
// Blocking transfers on the pipes; a time limit of 0 takes the printer's setting. A write
// or read that did not complete gives -160, with the count of what did move.
int UsbAccessWrite(HANDLE handle, const unsigned char* data, DWORD length, DWORD* written, DWORD timeLimit);
int UsbAccessRead(HANDLE handle, unsigned char* buffer, DWORD length, DWORD* read, DWORD timeLimit);

// The record of a handle, locked against close and reopen until unlocked; null for a
// handle that names no record. For the device services' own requests on its control handle.
UsbAccessRecord* UsbAccessLock(HANDLE handle);
void UsbAccessUnlock(UsbAccessRecord* record);

// Before a reopen swaps the pipes, and before close releases them, the data transfers are
// asked to give up what they have pending on them; these are their hooks (set by the USB
// data transfer). `quiesce` returns once no transfer is pending (or after its bound).
struct UsbPipeUsers {
  void (*quiesce)();
  void (*resume)();
};
extern UsbPipeUsers UsbPipeGate;
