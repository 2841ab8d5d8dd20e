// The IEEE 1284 device ID a printer reports, split into its seven well-known fields.
#pragma once
#include <cstddef>

struct DeviceIdFields {
  char* manufacturer;
  char* model;
  char* cls;
  char* description;
  char* automaticId;
  char* compatibleId;
  char* commandSet;
};

// Works in place on a zero-terminated text: each ";" ending a value becomes a zero, and
// every field found points at its value; a field not found stays null.
void ParseDeviceId(DeviceIdFields* fields, char* text);

// The text a field is shown with: its value, or the empty text when it was not found.
const char* FieldText(const char* value);

// Terminates a device ID the printer did not terminate. The buffer holds size + 1 bytes
// so that an answer filling all size bytes keeps its last byte.
void TerminateDeviceId(char* buffer, size_t size, size_t count);
