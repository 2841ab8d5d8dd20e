// The devices tarvex-sim.exe serves beside TCP/IP, one printer model behind each: the
// IEEE1284 device "\\.\KELVLPT1", the IEEE1394 device "LPT2", and the USB bus with its
// controllers and hubs and a printer on port "USB001".
#pragma once
#include <string>

// Serves them all; returns how many started and appends a line per device to *guide
// (what to pick in Tarvex).
int SimDevicesStart(std::string* guide);
void SimDevicesStop();
