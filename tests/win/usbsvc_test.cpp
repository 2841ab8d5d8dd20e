#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "services/vendor.h"
#include "sim/device_host.h"
#include "sim/usb_tree.h"
#include "ports/usb/usb.h"

#include <process.h>

// The vendor commands on a USB connection whose control handle leads to the simulated
// printer's vendor side, served in this process.
namespace {

struct VendorPrinter {
  UsbVendorState state;
  volatile int jobInProgress = 0;
  SimDevice* device = nullptr;
  HANDLE control = INVALID_HANDLE_VALUE;
  unsigned char status = 0;
};
VendorPrinter* printer;

ControlAnswer Answer(void* p, const ControlRequest& r) {
  VendorPrinter& v = *static_cast<VendorPrinter*>(p);
  ControlAnswer a;
  if (!UsbVendorAnswer(v.state, r, v.jobInProgress, &a)) return ControlFailure(ERROR_INVALID_FUNCTION);
  return a;
}

void* Acquire(HANDLE, HANDLE* control, unsigned char** status) {
  *control = printer->control;
  *status = &printer->status;
  return printer;
}

void Release(void*) {}

void SetAccessHandle(HANDLE h) {
  ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
  block->usbHandle = h;
  GlobalUnlock(ConnectionBlockMemory);
}

template <class F>
auto Locked(F f) {
  SimDeviceLock(printer->device);
  auto v = f();
  SimDeviceUnlock(printer->device);
  return v;
}

}  // namespace

class UsbServices : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    printer = new VendorPrinter;
    UsbVendorInit(&printer->state);
    SimDeviceSetup s;
    s.name = "usbsvc-printer";
    s.pipes = kSimPipeHandle;
    s.control = Answer;
    s.controlState = printer;
    printer->device = SimDeviceStart(s);
    ASSERT_TRUE(printer->device != NULL);
    printer->control = CreateFileA(SimDevicePath(s.name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                   OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, printer->control);
    saved = VendorAccess;
    VendorAccess = {Acquire, Release};
    SetAccessHandle((HANDLE)1);
    Ports[IF_USB].connected = 1;
  }
  void TearDown() override {
    Ports[IF_USB].connected = 0;
    SetAccessHandle(INVALID_HANDLE_VALUE);
    VendorAccess = saved;
    OffsetValue = 0;
    StopRequest = 0;
    CloseHandle(printer->control);
    SimDeviceStop(printer->device);
    delete printer;
    AppTest::TearDown();
  }
  UsbVendorAccess saved;
};

namespace {
unsigned __stdcall SetUnknownObjects(void* rounds) {
  std::string request("\x02\x00\x00\x00\x01\x00\x00\x00\x06qovelt\x00\x00\x00\x01\x00\x01\x00\x09", 23);
  for (int i = 0; i < *(int*)rounds; i++) MibObjectSetCommand(request);
  return 0;
}
}  // namespace

// SET_OFFSET takes only 1 to 255; the MIB dialog lays out input, refuses bad requests
// and shows the printer's answers. The dialog's requests from the window's thread never
// fall between the automatic cycle's set and get: every cycle reads its own answer, so the
// counter runs on.
TEST_F(UsbServices, OffsetMibDialogAndCycle) {
  PostCommand(IDM_SET_OFFSET);
  HWND dlg = WaitDialog("SET_OFFSET_VALUE");
  ASSERT_TRUE(dlg != NULL);
  for (const char* refused : {"0", "256", "1000", ""}) {
    SetText(dlg, IDC_OFFSET_VALUE, refused);
    Click(dlg, IDOK);
    EXPECT_FALSE(DialogGone(dlg, 300)) << refused;
  }
  EXPECT_TRUE(WaitDialog("Error", 100) == NULL);
  SetText(dlg, IDC_OFFSET_VALUE, "12a");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(12, OffsetValue);
  EXPECT_TRUE(WaitFor([] { return Locked([] { return printer->state.offset; }) == 12; }));

  PostCommand(IDM_MIBOBJECT);
  dlg = WaitDialog("MIB refer (transmission)");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_EQ("qovelt", Text(dlg, IDC_MIB_COMMUNITY));
  EXPECT_EQ("255", Text(dlg, IDC_MIB_RECEIVE_SIZE));
  EXPECT_FALSE(IsEnabled(dlg, IDC_MIB_VALUE));

  HWND community = GetDlgItem(dlg, IDC_MIB_COMMUNITY);
  TypeChars(community, " -");  // refused: the text stays as it was
  EXPECT_EQ("qovelt", Text(dlg, IDC_MIB_COMMUNITY));
  HWND oid = GetDlgItem(dlg, IDC_MIB_OID);
  TypeChars(oid, "000100030");
  EXPECT_EQ("00 01 00 03 0", Text(dlg, IDC_MIB_OID));
  Click(dlg, IDOK);
  EXPECT_EQ("ObjectID Input N.G.", AnswerMessageBox("Error", IDOK));

  // SET of a String object, then GET of it: the answer's fields decoded.
  SetText(dlg, IDC_MIB_OID, "");
  TypeChars(oid, "00010003000600010002000100010004");
  Click(dlg, IDC_MIB_SET);
  WaitFor([&] { return IsEnabled(dlg, IDC_MIB_VALUE); });
  Click(dlg, IDC_MIB_STRING);
  WaitFor([&] { return IsChecked(dlg, IDC_MIB_STRING); });
  TypeChars(GetDlgItem(dlg, IDC_MIB_VALUE), "0004HELLO");
  Click(dlg, IDOK);
  EXPECT_EQ("Value Input N.G.", AnswerMessageBox("Error", IDOK));
  SetText(dlg, IDC_MIB_VALUE, "0005HELLO");
  Click(dlg, IDC_MIB_SET_MIB);
  EXPECT_TRUE(WaitFor([] { return Locked([] { return printer->state.mibSets; }) == 1; }));
  Click(dlg, IDC_MIB_GET);
  SetText(dlg, IDC_MIB_RECEIVE_SIZE, "100");
  Click(dlg, IDC_MIB_GET_MIB);
  EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_MIB_R_VALUE) == "0005HELLO"; })) << Text(dlg, IDC_MIB_R_VALUE);
  EXPECT_EQ("255", Text(dlg, IDC_MIB_RECEIVE_SIZE));
  EXPECT_EQ("00 00 00 00 ", Text(dlg, IDC_MIB_R_STATUS));
  EXPECT_EQ("00 08 ", Text(dlg, IDC_MIB_R_OID_SIZE));
  Click(dlg, IDCANCEL);
  EXPECT_TRUE(DialogGone(dlg));

  SimDeviceFailNextControl(printer->device, ERROR_GEN_FAILURE);  // the job-end asking gives up
  EXPECT_EQ(-1, ::UsbServices.jobEndQuery());
  EXPECT_TRUE(WaitLine("Error:Time out."));
  OpenDsp = 1;
  int rounds = 40;
  MibRequestCounter = 1;
  HANDLE t = (HANDLE)_beginthreadex(NULL, 0, SetUnknownObjects, &rounds, 0, NULL);
  for (int i = 0; i < rounds; i++) ASSERT_EQ(1, MibReferCycle());
  WaitForSingleObject(t, 10000);
  CloseHandle(t);
  EXPECT_EQ(41, MibRequestCounter);
  EXPECT_TRUE(WaitLine("Velmora tray 40 ready"));
}
