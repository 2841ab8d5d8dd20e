#include "ports/usb/access_rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int UsbPortNumber(const unsigned char* value, unsigned long length, uint32_t* number) {
  if (length == 0) return 0;
  uint32_t n = 0;
  for (unsigned long i = 0; i < length && i < 4; i++) n |= (uint32_t)value[i] << (8 * i);
  *number = n;
  return n != 48;
}

void UsbPortName(uint32_t number, char* out, size_t size) { std::snprintf(out, size, "USB%03u", (unsigned)number); }

int UsbPortMatches(uint32_t number, const char* wanted) {
  char name[16];
  UsbPortName(number, name, sizeof name);
  return std::strcmp(name, wanted) == 0;
}

char* UsbPipePath(const char* devicePath, int pipe) {
  size_t length = std::strlen(devicePath) + sizeof "\\PIPE00";
  char* path = (char*)std::malloc(length);
  if (path) std::snprintf(path, length, "%s\\PIPE%02d", devicePath, pipe);
  return path;
}

char* UsbCopyText(const char* text) {
  size_t length = std::strlen(text) + 1;
  char* copy = (char*)std::malloc(length);
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

const char* const UsbSettingNames[USB_SETTINGS] = {"TransferBlockSize",   "WriteRetryTimeout",
                                                   "ReadRetryTimeout",    "ReadIntervalTimeout",
                                                   "DeviceIDReadTimeout", "StatusCheckTimeout",
                                                   "DescriptorReadTimeout"};
static const uint32_t defaults[USB_SETTINGS] = {4096, 45000, 45000, 200, 1000, 1000, 1000};

void UsbSettingsDefaults(uint32_t* settings) { std::memcpy(settings, defaults, sizeof defaults); }

uint32_t UsbSettingValue(int setting, int found, const unsigned char* data, unsigned long length) {
  if (!found || length != 4) return defaults[setting];
  uint32_t value;
  std::memcpy(&value, data, 4);
  if (setting == TRANSFER_BLOCK_SIZE && value == 0) return defaults[setting];
  return value;
}

// Generation in the high bits, slot + 1 in the low byte, which is never 0 nor 0xFF.
static uintptr_t HandleOf(int slot, uint32_t generation) { return ((uintptr_t)generation << 8) | (uintptr_t)(slot + 1); }

uintptr_t UsbHandleAdd(UsbHandleTable* table, void* record) {
  for (int slot = 0; slot < USB_HANDLE_SLOTS; slot++) {
    if (table->records[slot]) continue;
    table->generation[slot] = (table->generation[slot] + 1) & 0xFFFFFF;
    table->records[slot] = record;
    return HandleOf(slot, table->generation[slot]);
  }
  return 0;
}

static int SlotOf(const UsbHandleTable* table, uintptr_t handle) {
  uintptr_t low = handle & 0xFF;
  if (low < 1 || low > USB_HANDLE_SLOTS) return -1;
  int slot = (int)low - 1;
  if (!table->records[slot] || handle != HandleOf(slot, table->generation[slot])) return -1;
  return slot;
}

void* UsbHandleFind(const UsbHandleTable* table, uintptr_t handle) {
  int slot = SlotOf(table, handle);
  return slot < 0 ? nullptr : table->records[slot];
}

void* UsbHandleRemove(UsbHandleTable* table, uintptr_t handle) {
  int slot = SlotOf(table, handle);
  if (slot < 0) return nullptr;
  void* record = table->records[slot];
  table->records[slot] = nullptr;
  return record;
}

const char* UsbChosenPort(const UsbPrinterEntry* table, int count, const char* chosen) {
  const char* port = nullptr;
  for (int i = 0; i < count; i++)
    if (table[i].opened && std::strcmp(table[i].displayText, chosen) == 0) port = table[i].portName;
  return port;
}

const UsbPrinterEntry* UsbEntryOfPort(const UsbPrinterEntry* table, int count, const char* port) {
  for (int i = 0; i < count; i++)
    if (std::strcmp(table[i].portName, port) == 0) return &table[i];
  return nullptr;
}

void CopyBounded(char* out, size_t size, const char* text) {
  if (size == 0) return;
  size_t length = 0;
  while (length < size - 1 && text[length]) length++;
  std::memcpy(out, text, length);
  out[length] = 0;
}
