// The settings file: every persistent value of the program, loaded once and saved once.
#pragma once

enum { SETTINGS_PATH_SIZE = 32780 };
extern char SettingsPath[SETTINGS_PATH_SIZE];
extern char TcpAddress[260], TcpPort[260];
extern int NoRecvLimit;  // polls of 100 ms; saved as NoRecvCounter
extern int Ieee1284TimeOut, Ieee1394TimeOut;
extern int Rs232cBaudrate, Rs232cDataBits, Rs232cParityBits, Rs232cStopBits, Rs232cFlowControl;
extern int RcvDsp, OpenDsp, PortDsp, DspLine;
extern int KEYINHexFlag, KEYINNewlineCode, KEYINSendType;
extern char FunctionKeys[12][1024];

void FormSettingsPath();
int LoadAllSettings();
void SaveAllSettings();
