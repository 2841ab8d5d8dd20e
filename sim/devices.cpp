#include "sim/devices.h"

#include <vector>

#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include "sim/scsi.h"
#include "sim/usb_printer.h"
#include "sim/usb_tree_host.h"

namespace {

ParallelDevice parallel;
ScsiDevice scsi;
UsbPrinter usb;
UsbTreeHost* tree;
std::vector<SimDevice*> running;

SimDevice* Serve(const char* interfaceName, const std::string& name, const char* dosName, int pipes,
                 ControlHandler control, void* state, Printer* printer) {
  SimDeviceSetup s;
  s.jobLogName = interfaceName;
  s.name = name;
  s.dosName = dosName;
  s.pipes = pipes;
  s.control = control;
  s.controlState = state;
  s.printer = printer;
  SimDevice* d = SimDeviceStart(s);
  if (d) running.push_back(d);
  return d;
}

}  // namespace

int SimDevicesStart(std::string* guide) {
  ParallelReset(&parallel);
  if (Serve("IEEE1284", "KELVLPT1", "KELVLPT1", kSimPipeData, ParallelControl, &parallel, nullptr))
    *guide += "IEEE1284: \\\\.\\KELVLPT1\n";
  if (Serve("IEEE1394", "ieee1394", "LPT2", kSimPipeData, ScsiControl, &scsi, nullptr))
    *guide += "IEEE1394: port LPT2\n";
  if (!SimBusStart()) return int(running.size());
  tree = UsbTreeHostStart(0);
  usb = MakeUsbPrinter("Tarvex Simulated Printer", 1);
  std::string name = SimBusPrinterName(1);
  SimBusNodeSetup node;
  node.device = name;
  node.portNumber = 1;
  node.driverKey = "{4d36e979-e325-11ce-bfc1-08002be10318}\\0001";
  node.description = "Tarvex Simulated Printer";
  if (Serve("USB", name, "", kSimPipeUsb, UsbPrinterControl, &usb, &usb.model) && SimBusAdd(node))
    *guide += "USB: port USB001\n";
  return int(running.size());
}

void SimDevicesStop() {
  UsbTreeHostStop(tree);
  tree = nullptr;
  SimBusStop();
  for (SimDevice* d : running) SimDeviceStop(d);
  running.clear();
}
