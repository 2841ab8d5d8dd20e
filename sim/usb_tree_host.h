// Serves the simulated USB tree on the simulated bus: each host controller and hub as a
// device whose requests UsbTreeAnswer answers, and each described device as a node of the
// device-node tree. Start it after SimBusStart, stop it before SimBusStop.
#pragma once

struct UsbTreeHost;

UsbTreeHost* UsbTreeHostStart(int hostile);
void UsbTreeHostStop(UsbTreeHost* host);  // NULL is allowed
