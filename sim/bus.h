// The simulated USB bus: while it runs, the seam's SetupDi enumeration of the USB printer
// interface class lists its printers and the device-node tree holds its nodes
// (platform/device.h). Serve each printer, controller and hub as a SimDevice
// (sim/device_host.h), then put it on the bus:
//
//   SimBusStart();
//   SimDevice* hcd = SimDeviceStart(setup named "HCD0", kSimPipeHandle, its handler);
//   int hc = SimBusAdd({"{36fc9e60-...}\\0000", "Simulated USB Host Controller", "", 0, 0});
//   SimDevice* p = SimDeviceStart(setup named SimBusPrinterName(1), kSimPipeUsb, its handler);
//   SimBusNodeSetup n;
//   n.device = SimBusPrinterName(1); n.portNumber = 1; n.parent = hc;
//   n.driverKey = "{4d36e979-...}\\0001"; n.description = "Kelvane Printer";
//   int node = SimBusAdd(n);
//   ... SimBusStop(); then SimDeviceStop each device.
//
// "\\.\HCD0" and "\\.\<hub name>" opened through Device.OpenKernelDevice reach the devices
// of those names while the bus runs.
#pragma once
#include <string>

struct SimBusNodeSetup {
  std::string driverKey;    // the node's driver property
  std::string description;  // its device description
  std::string device;       // a served kSimPipeUsb device: the node is a USB printer interface
  int portNumber = 0;       // that interface's "Port Number"; > 0 also lists "USB%03d" as a port
  int parent = 0;           // a node id from SimBusAdd, 0 for a top node
};

int SimBusStart();  // 1 when the bus is served (or already was)
void SimBusStop();  // its nodes, port keys and port entries go with it
int SimBusAdd(const SimBusNodeSetup& node);  // the node's id, 0 when the bus is not running or full
void SimBusRemove(int id);                   // with the nodes under it
// A device interface style name for the printer with this number.
std::string SimBusPrinterName(int number);

// A simulated USB printer served as the device interface SimBusPrinterName(number) and put
// on the running bus (started if need be) with this port number and description; null
// when it cannot be served. Stop it with SimDeviceStop after the bus.
struct SimDevice;
struct UsbPrinter;
SimDevice* SimBusServePrinter(UsbPrinter* printer, int number, int port, const std::string& description);
