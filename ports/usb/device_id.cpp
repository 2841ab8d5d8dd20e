#include "ports/usb/device_id.h"

#include <cstring>

namespace {

struct Candidate {
  const char* name;
  char* DeviceIdFields::*field;
};

// By the key's first letter, in the order in which they are tried: long name, then short.
const Candidate aCandidates[] = {{"AUTOMATICID", &DeviceIdFields::automaticId},
                                 {"AID", &DeviceIdFields::automaticId}};
const Candidate cCandidates[] = {{"CLASS", &DeviceIdFields::cls},         {"CLS", &DeviceIdFields::cls},
                                 {"COMPATIBLEID", &DeviceIdFields::compatibleId},
                                 {"CID", &DeviceIdFields::compatibleId},
                                 {"COMMAND SET", &DeviceIdFields::commandSet},
                                 {"CMD", &DeviceIdFields::commandSet}};
const Candidate dCandidates[] = {{"DESCRIPTION", &DeviceIdFields::description},
                                 {"DES", &DeviceIdFields::description}};
const Candidate mCandidates[] = {{"MANUFACTURER", &DeviceIdFields::manufacturer},
                                 {"MFG", &DeviceIdFields::manufacturer},
                                 {"MODEL", &DeviceIdFields::model},
                                 {"MDL", &DeviceIdFields::model}};

template <size_t N>
char* DeviceIdFields::*Match(const Candidate (&list)[N], const char* key, size_t length) {
  // A key is compared over its own length, so a leading part of a name matches it and a
  // key longer than the name does not (the name's terminator differs).
  for (const Candidate& c : list)
    if (std::strlen(c.name) >= length && std::strncmp(key, c.name, length) == 0) return c.field;
  return nullptr;
}

char* DeviceIdFields::*FieldForKey(const char* key, size_t length) {
  switch (key[0]) {
    case 'A': return Match(aCandidates, key, length);
    case 'C': return Match(cCandidates, key, length);
    case 'D': return Match(dCandidates, key, length);
    case 'M': return Match(mCandidates, key, length);
  }
  return nullptr;
}

}  // namespace

void ParseDeviceId(DeviceIdFields* fields, char* text) {
  *fields = DeviceIdFields{};
  char* at = text;
  while (at) {
    while (*at == ' ') at++;
    char* colon = std::strchr(at, ':');
    if (!colon) return;
    char* DeviceIdFields::*field = FieldForKey(at, colon - at);
    if (field) fields->*field = colon + 1;
    char* end = std::strchr(colon + 1, ';');
    if (!end) return;
    *end = 0;
    at = end + 1;
  }
}

const char* FieldText(const char* value) { return value ? value : ""; }

void TerminateDeviceId(char* buffer, size_t size, size_t count) { buffer[count < size ? count : size] = 0; }
