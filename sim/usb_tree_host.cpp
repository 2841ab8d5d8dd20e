#include "sim/usb_tree_host.h"

#include <vector>

#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/usb_tree.h"

struct UsbTreeHost {
  UsbTree tree;
  std::vector<SimDevice*> devices;
  std::vector<int> nodes;
};

UsbTreeHost* UsbTreeHostStart(int hostile) {
  UsbTreeHost* host = new UsbTreeHost;
  UsbTreeBuild(&host->tree, hostile);
  for (const UsbTreeName& n : UsbTreeNames(host->tree)) {
    SimDeviceSetup setup;
    setup.name = n.name;
    setup.pipes = kSimPipeHandle;
    setup.control = UsbTreeAnswer;
    setup.controlState = n.node;
    if (SimDevice* d = SimDeviceStart(setup)) host->devices.push_back(d);
  }
  for (const UsbTreeDevNode& d : UsbTreeDevNodes(host->tree)) {
    SimBusNodeSetup node;
    node.driverKey = d.driverKey;
    node.description = d.description;
    if (int id = SimBusAdd(node)) host->nodes.push_back(id);
  }
  return host;
}

void UsbTreeHostStop(UsbTreeHost* host) {
  if (!host) return;
  for (int id : host->nodes) SimBusRemove(id);
  for (SimDevice* d : host->devices) SimDeviceStop(d);
  delete host;
}
