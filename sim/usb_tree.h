#pragma once
// The simulated USB tree: host controllers, hubs and the devices on their ports, answering
// the hub driver's requests; and the printer-side vendor requests (offset, MIB object table,
// job end). Pure: the device host serves each controller and hub under its name with
// UsbTreeAnswer, and hands a printer's vendor requests to UsbVendorAnswer.
//
//   UsbTree tree;
//   UsbTreeBuild(&tree, 0);
//   for (const UsbTreeName& n : UsbTreeNames(tree))   // "HCD0", "USB#ROOT_HUB20#..."
//     serve n.name with UsbTreeAnswer and n.node;
//   for (const UsbTreeDevNode& d : UsbTreeDevNodes(tree))  // driver key, description, parent
//     add d to the configuration manager's tree;

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/device.h"

// What a device does wrong on purpose.
enum UsbQuirk {
  QUIRK_ZERO_LENGTH = 1,   // a descriptor of length 0 inside the configuration set
  QUIRK_OVERLONG = 2,      // the last descriptor claims more bytes than the set holds
  QUIRK_SHORT_CONFIG = 4,  // the configuration set comes back shorter than asked
  QUIRK_TOTAL_CHANGES = 8, // the second answer carries another wTotalLength
  QUIRK_BAD_STRINGS = 16,  // string descriptors whose length lies or is odd
  QUIRK_MANY_PIPES = 32,   // claims 1000 open pipes
  QUIRK_HUGE_NAMES = 64,   // its driver key name claims 2 GB
};

struct UsbTreeDevice {
  std::string driverKey, description;
  std::string descriptor;     // the 18-byte device descriptor
  int lowSpeed = 0;
  int status = 1;             // ConnectionStatus
  std::string pipes;          // 7-byte endpoint descriptors of the open pipes
  std::string configuration;  // the configuration descriptor set
  std::map<uint32_t, std::string> strings;  // string descriptors by index << 16 | language
  int hub = -1;               // the hub this port leads to
  int quirks = 0;
};

struct UsbTreeHub {
  std::string name;
  std::string node;  // the 76-byte hub node record
  std::vector<UsbTreeDevice> ports;  // port n is ports[n - 1]; status 0 when empty
};

struct UsbTreeController {
  std::string driverKey, description;  // no description: the CM tree does not know the key
  int rootHub = -1;                    // -1: the root hub name request fails
};

struct UsbTree;

// One kernel device of the tree, the state its ControlHandler is given.
struct UsbTreeNode {
  UsbTree* tree;
  int controller;  // -1 for a hub
  int hub;
};

struct UsbTree {
  std::vector<UsbTreeController> controllers;  // HCD0, HCD1, ...
  std::vector<UsbTreeHub> hubs;
  std::vector<UsbTreeNode> nodes;
};

// The tree the simulator serves: two controllers (HCD1 without a root hub answer), a root
// hub with a high-speed printer and an external hub with a full-speed printer and a mouse.
// hostile adds devices of the maker that answer with truncated and lying lengths.
void UsbTreeBuild(UsbTree* tree, int hostile);

struct UsbTreeName {
  std::string name;  // "HCD0" or the hub's name, as opened after "\\.\"
  UsbTreeNode* node;
};
std::vector<UsbTreeName> UsbTreeNames(UsbTree& tree);

struct UsbTreeDevNode {
  std::string driverKey, description, parentDriverKey;
};
std::vector<UsbTreeDevNode> UsbTreeDevNodes(const UsbTree& tree);

ControlAnswer UsbTreeAnswer(void* node, const ControlRequest& request);

// Maker's printers: the vendor requests served on the printer's control handle.
struct MibObject {
  std::string oid;    // the object id words, big-endian bytes
  int tag;            // 2 Integer (4 characters), 4 String, 6 Object ID
  std::string value;  // as answered: Integer its characters, String 4-byte length + text, OID its bytes
  int writable;
};

struct UsbVendorState {
  int offset = 0;
  std::vector<MibObject> objects;  // in object id order, for GET_NEXT
  std::string answer;              // prepared by the last MIB object set
  int malformedAnswers = 0;        // answers are cut inside the object id
  int shortAnswers = 0;            // every vendor request succeeds with no bytes
  int failWith = 0;                // every vendor request fails with this error
  int mibSets = 0, mibGets = 0, jobEndQueries = 0;
};

void UsbVendorInit(UsbVendorState* state);
// 1 when the request is one of the four vendor requests, with its answer; 0 for any other.
int UsbVendorAnswer(UsbVendorState& state, const ControlRequest& request, int jobInProgress, ControlAnswer* answer);
// The object id bytes of the automatic cycle's object whose last word is n.
std::string MibCycleOid(int n);
