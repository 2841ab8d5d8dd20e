#include "common/settings.h"
#include "common/state.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <limits.h>

char SettingsPath[SETTINGS_PATH_SIZE];
char TcpAddress[260], TcpPort[260];
int NoRecvLimit = 600;
int Ieee1284TimeOut = 10, Ieee1394TimeOut = 10;
int Rs232cBaudrate = 11, Rs232cDataBits = 4, Rs232cParityBits, Rs232cStopBits, Rs232cFlowControl;
int RcvDsp = 1, OpenDsp = 1, PortDsp = 1, DspLine = 80;
int KEYINHexFlag, KEYINNewlineCode = 2, KEYINSendType;
char FunctionKeys[12][1024];

static char functionKeyArea[12][261];

struct Setting {
  const char* section;
  const char* key;
  int defaultValue;   // integers
  void* value;        // int*, or a char buffer of `size` bytes
  int size;           // 0 for integers
};

#define INT_KEY(section, key, def, var) {section, key, def, (void*)&(var), 0}
#define TEXT_KEY(section, key, buffer) {section, key, 0, (void*)(buffer), (int)sizeof(buffer)}

// Sections and keys in the order they are loaded and written.
static const Setting settings[] = {
    INT_KEY("USB", "receive times", 500, Ports[IF_USB].receiveTimes),
    INT_KEY("USB", "interval", 0, Ports[IF_USB].interval),
    INT_KEY("USB", "receive on", 0, Ports[IF_USB].receiveOn),
    TEXT_KEY("TCPIP", "Address", TcpAddress),
    TEXT_KEY("TCPIP", "Port", TcpPort),
    INT_KEY("TCPIP", "NoRecvCounter", 600, NoRecvLimit),
    INT_KEY("TCPIP", "receive times", 100, Ports[IF_TCPIP].receiveTimes),
    INT_KEY("TCPIP", "receive on", 0, Ports[IF_TCPIP].receiveOn),
    INT_KEY("TCPIP", "interval", 0, Ports[IF_TCPIP].interval),
    INT_KEY("IEEE1284", "receive times", 500, Ports[IF_IEEE1284].receiveTimes),
    INT_KEY("IEEE1284", "receive on", 0, Ports[IF_IEEE1284].receiveOn),
    INT_KEY("IEEE1284", "interval", 0, Ports[IF_IEEE1284].interval),
    INT_KEY("IEEE1284", "time-out", 10, Ieee1284TimeOut),
    INT_KEY("RS232C", "receive times", 500, Ports[IF_RS232C].receiveTimes),
    INT_KEY("RS232C", "receive on", 0, Ports[IF_RS232C].receiveOn),
    INT_KEY("RS232C", "interval", 0, Ports[IF_RS232C].interval),
    INT_KEY("RS232C", "baudrate", 11, Rs232cBaudrate),
    INT_KEY("RS232C", "data bits", 4, Rs232cDataBits),
    INT_KEY("RS232C", "parity bits", 0, Rs232cParityBits),
    INT_KEY("RS232C", "stop bits", 0, Rs232cStopBits),
    INT_KEY("RS232C", "flow control", 0, Rs232cFlowControl),
    INT_KEY("IEEE1394", "receive times", 500, Ports[IF_IEEE1394].receiveTimes),
    INT_KEY("IEEE1394", "receive on", 0, Ports[IF_IEEE1394].receiveOn),
    INT_KEY("IEEE1394", "interval", 0, Ports[IF_IEEE1394].interval),
    INT_KEY("IEEE1394", "time-out", 10, Ieee1394TimeOut),
    TEXT_KEY("FunctionKey", "F01", functionKeyArea[0]), TEXT_KEY("FunctionKey", "F02", functionKeyArea[1]),
    TEXT_KEY("FunctionKey", "F03", functionKeyArea[2]), TEXT_KEY("FunctionKey", "F04", functionKeyArea[3]),
    TEXT_KEY("FunctionKey", "F05", functionKeyArea[4]), TEXT_KEY("FunctionKey", "F06", functionKeyArea[5]),
    TEXT_KEY("FunctionKey", "F07", functionKeyArea[6]), TEXT_KEY("FunctionKey", "F08", functionKeyArea[7]),
    TEXT_KEY("FunctionKey", "F09", functionKeyArea[8]), TEXT_KEY("FunctionKey", "F10", functionKeyArea[9]),
    TEXT_KEY("FunctionKey", "F11", functionKeyArea[10]), TEXT_KEY("FunctionKey", "F12", functionKeyArea[11]),
    INT_KEY("USER", "RcvDsp", 1, RcvDsp),
    INT_KEY("USER", "OpenDsp", 1, OpenDsp),
    INT_KEY("USER", "PortDsp", 1, PortDsp),
    INT_KEY("USER", "DspLine", 80, DspLine),
    INT_KEY("InputKey", "KEYINHexFlag", 0, KEYINHexFlag),
    INT_KEY("InputKey", "KEYINNewlineCode", 2, KEYINNewlineCode),
    INT_KEY("InputKey", "KEYINSendType", 0, KEYINSendType),
};
const int settingCount = sizeof settings / sizeof settings[0];

// The start directory may be longer than MAX_PATH, which neither the ANSI directory query
// nor the private-profile functions take: such a directory is named by its short form, so
// the file stays there rather than falling back to the drive root.
void FormSettingsPath() {
  static wchar_t dir[SETTINGS_PATH_SIZE];
  const int room = sizeof SettingsPath - sizeof "\\Tarvex.ini";
  DWORD n = GetCurrentDirectoryW(SETTINGS_PATH_SIZE, dir);
  if (n >= MAX_PATH - sizeof "\\Tarvex.ini" && n < SETTINGS_PATH_SIZE) n = GetShortPathNameW(dir, dir, SETTINGS_PATH_SIZE);
  if (n == 0 || n >= SETTINGS_PATH_SIZE || !WideCharToMultiByte(CP_ACP, 0, dir, -1, SettingsPath, room, NULL, NULL))
    SettingsPath[0] = '\0';
  strcat(SettingsPath, "\\Tarvex.ini");
}

// A missing key or a value that is not a number gives the default; numbers
// beyond the int range are pinned to it rather than wrapped.
static int ReadInteger(const char* section, const char* key, int defaultValue) {
  char text[64];
  GetPrivateProfileStringA(section, key, "", text, sizeof text, SettingsPath);
  char* end;
  long long value = strtoll(text, &end, 10);
  if (end == text) return defaultValue;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return (int)value;
}

static void WriteInteger(const char* section, const char* key, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  WritePrivateProfileStringA(section, key, text, SettingsPath);
}

static void EmptySection(const char* section) {
  WritePrivateProfileSectionA(section, "\0", SettingsPath);
}

int LoadAllSettings() {
  for (const Setting& s : settings) {
    if (s.size)
      GetPrivateProfileStringA(s.section, s.key, "", (char*)s.value, s.size, SettingsPath);
    else
      *(int*)s.value = ReadInteger(s.section, s.key, s.defaultValue);
  }
  for (int i = 0; i < 12; i++) strcpy(FunctionKeys[i], functionKeyArea[i]);
  return 1;
}

void SaveAllSettings() {
  for (int i = 0; i < 12; i++) snprintf(functionKeyArea[i], sizeof functionKeyArea[i], "%s", FunctionKeys[i]);
  const char* section = "";
  for (const Setting& s : settings) {
    if (strcmp(section, s.section) != 0) {
      section = s.section;
      EmptySection(section);
    }
    if (s.size)
      WritePrivateProfileStringA(s.section, s.key, (const char*)s.value, SettingsPath);
    else
      WriteInteger(s.section, s.key, *(int*)s.value);
  }
}
