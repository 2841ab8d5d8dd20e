#include "send/direct_send.h"
#include "send/driver.h"
#include <string.h>

int DirectSend(const unsigned char* bytes, int length) {
  if (length < 0) return 0;
  if (length == 0) length = (int)strlen((const char*)bytes);
  if (length < 1) return 1;
  int kind = CurrentInterfaceKind;
  if (kind == IF_NONE) return 1;
  if (kind < 0 || kind >= IF_KINDS || !Drivers[kind] || !Drivers[kind]->directWrite) return 0;
  return Drivers[kind]->directWrite(bytes, length);
}
