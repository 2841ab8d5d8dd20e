// The USB access layer's rules that do not depend on the platform: which interface is
// the wanted port, the pipe paths, the per-printer settings and the handle table.
#pragma once
#include <cstddef>
#include <cstdint>

// Result codes of the access layer.
enum {
  USB_BAD_ARGUMENT = -101,
  USB_BAD_HANDLE = -103,
  USB_NO_MEMORY = -140,
  USB_TRANSFER_FAILED = -160,  // a pipe transfer that did not complete, or an invalid handle
  USB_DEVICE_ID_FAILED = -170,
  USB_REQUEST_FAILED = -172,
};

// The interface's "Port Number" registry value as a whole number (a 4-byte little-endian
// number, or the bytes there are). Returns 0 for an interface that is never a port: an
// empty value, or the number 48, which interfaces have always been skipped for.
int UsbPortNumber(const unsigned char* value, unsigned long length, uint32_t* number);
// "USB%03u": port 1 is USB001, port 257 USB257.
void UsbPortName(uint32_t number, char* out, size_t size);
int UsbPortMatches(uint32_t number, const char* wanted);  // exact, case-sensitive

// Device path + "\PIPE00" (pipe 0, written) or "\PIPE01" (pipe 1, read); null when it
// cannot be allocated. The caller frees it with free().
char* UsbPipePath(const char* devicePath, int pipe);
char* UsbCopyText(const char* text);  // null when it cannot be allocated

enum UsbSetting {
  TRANSFER_BLOCK_SIZE,
  WRITE_RETRY_TIMEOUT,
  READ_RETRY_TIMEOUT,
  READ_INTERVAL_TIMEOUT,
  DEVICE_ID_READ_TIMEOUT,
  STATUS_CHECK_TIMEOUT,
  DESCRIPTOR_READ_TIMEOUT,
  USB_SETTINGS,
};
extern const char* const UsbSettingNames[USB_SETTINGS];
void UsbSettingsDefaults(uint32_t* settings);
// A value read from the settings key: a 4-byte number is taken, anything else (missing,
// empty, another size) gives the default. A block size of 0 would never send a byte, so
// it takes the default too.
uint32_t UsbSettingValue(int setting, int found, const unsigned char* data, unsigned long length);

// Open records behind opaque handles. A handle carries its slot and the slot's generation,
// so a closed handle, or any value this table never gave out, names no record. Handles
// are never 0 and never all bits set. The table takes no lock.
const int USB_HANDLE_SLOTS = 16;
struct UsbHandleTable {
  void* records[USB_HANDLE_SLOTS];
  uint32_t generation[USB_HANDLE_SLOTS];
};
uintptr_t UsbHandleAdd(UsbHandleTable* table, void* record);  // 0 when the table is full
void* UsbHandleFind(const UsbHandleTable* table, uintptr_t handle);
void* UsbHandleRemove(UsbHandleTable* table, uintptr_t handle);  // the record, or null

// The table the connection dialog lists, and the post-connection step fills.
const int USB_PRINTER_ENTRIES = 10;
struct UsbPrinterEntry {
  char portName[260];
  char displayText[260];
  uint32_t opened;
  char speedText[32];
  uint32_t vendorCapable;
};
// The port of the opened entry whose display text is exactly the chosen text; of two
// printers of one model, the later one. Null when no entry shows that text.
const char* UsbChosenPort(const UsbPrinterEntry* table, int count, const char* chosen);
// The entry of exactly this port, or null: the connected printer's speed and vendor flag.
const UsbPrinterEntry* UsbEntryOfPort(const UsbPrinterEntry* table, int count, const char* port);

// Copies at most size - 1 bytes of the text and always terminates.
void CopyBounded(char* out, size_t size, const char* text);
