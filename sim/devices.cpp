#include "sim/devices.h"

#include <vector>

#include "sim/bus.h"
#include "sim/device_host.h"

namespace {

struct Served {
  const char* guide;
  const char* name;  // nullptr: the USB printer's interface name
  const char* dosName;
  int pipes;
  ControlHandler control;
  void* controlState;
  int portNumber;  // > 0: a USB printer interface on the bus
};

const Served kServed[] = {
    {"IEEE1284: \\\\.\\KELVLPT1", "KELVLPT1", "KELVLPT1", kSimPipeData, nullptr, nullptr, 0},
    {"IEEE1394: port LPT2", "LPT2", "LPT2", kSimPipeData, nullptr, nullptr, 0},
    {"USB: port USB001", nullptr, "", kSimPipeUsb, nullptr, nullptr, 1},
};

std::vector<SimDevice*> running;

}  // namespace

int SimDevicesStart(std::string* guide) {
  int bus = SimBusStart();
  for (const Served& s : kServed) {
    SimDeviceSetup setup;
    setup.name = s.name ? s.name : SimBusPrinterName(s.portNumber);
    setup.dosName = s.dosName;
    setup.pipes = s.pipes;
    setup.control = s.control;
    setup.controlState = s.controlState;
    SimDevice* d = (s.portNumber && !bus) ? nullptr : SimDeviceStart(setup);
    if (!d) continue;
    running.push_back(d);
    if (s.portNumber) {
      SimBusNodeSetup node;
      node.device = setup.name;
      node.portNumber = s.portNumber;
      node.driverKey = "{4d36e979-e325-11ce-bfc1-08002be10318}\\0001";
      node.description = "Tarvex simulated USB printer";
      if (!SimBusAdd(node)) continue;
    }
    *guide += std::string(s.guide) + "\n";
  }
  return int(running.size());
}

void SimDevicesStop() {
  SimBusStop();
  for (SimDevice* d : running) SimDeviceStop(d);
  running.clear();
}
