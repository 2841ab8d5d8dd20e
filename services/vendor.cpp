#include "services/vendor.h"

#include "common/resource.h"
#include "platform/device.h"
#include "ports/usb/usb.h"
#include "services/mib_cycle.h"
#include "terminal/log.h"

int OffsetValue;
Word MibDialogOpen;

namespace {

// One exchange at a time on the control handle: the automatic cycle's set and get stay a pair,
// and no request of the dialog falls between them.
CRITICAL_SECTION exchangeLock;
struct LockInit {
    LockInit() { InitializeCriticalSection(&exchangeLock); }
} lockInit;

// The exchange works on its own duplicate of the printer's control handle, so a disconnection
// meanwhile neither waits for the request nor closes the handle under it.
struct Exchange {
    HANDLE access;
    HANDLE control;
    unsigned char statusByte;
    VendorChannel channel;
};

int ControlRequest(void* context, unsigned long code, const std::string& in, unsigned outLength, std::string* out)
{
    Exchange& e = *static_cast<Exchange*>(context);
    if (e.control == INVALID_HANDLE_VALUE || e.control == NULL)
        return 0;
    std::string buffer(outLength, 0);
    DWORD got = 0;
    if (!DeviceRequest(e.control, code, const_cast<char*>(in.data()), static_cast<DWORD>(in.size()), &buffer[0],
                       outLength, &got, DEVICE_REQUEST_MS))
        return 0;
    buffer.resize(got < outLength ? got : outLength);
    *out = buffer;
    return 1;
}

// The connection's USB access handle resolved to its printer: 0, -103, or 6 without a handle.
int Begin(Exchange* e)
{
    HANDLE access = INVALID_HANDLE_VALUE;
    if (ConnectionBlockMemory) {
        ConnectionBlock* block = static_cast<ConnectionBlock*>(GlobalLock(ConnectionBlockMemory));
        access = block->usbHandle;
        GlobalUnlock(ConnectionBlockMemory);
    }
    if (access == INVALID_HANDLE_VALUE || access == NULL)
        return VENDOR_NOT_OPENED;
    UsbAccessRecord* record = UsbAccessLock(access);
    if (!record)
        return VENDOR_UNKNOWN_HANDLE;
    e->access = access;
    e->control = NULL;
    e->statusByte = record->statusByte;
    if (record->control != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), record->control, GetCurrentProcess(), &e->control, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    UsbAccessUnlock(record);
    e->channel = {e, ControlRequest, &e->statusByte};
    EnterCriticalSection(&exchangeLock);
    return 0;
}

void End(Exchange* e)
{
    LeaveCriticalSection(&exchangeLock);
    if (e->control)
        CloseHandle(e->control);
    UsbAccessRecord* record = UsbAccessLock(e->access);
    if (!record)
        return;
    record->statusByte = e->statusByte;
    UsbAccessUnlock(record);
}

int Report(int request, int code)
{
    if (code != 0)
        AppendDisplayLine(VendorErrorText(request, code).c_str());
    return code == 0;
}

// One command-level request: the printer resolved, the request sent, a failure reported.
template <class Send>
int Command(int request, Send send)
{
    Exchange e;
    int code = Begin(&e);
    if (code == 0) {
        code = send(e.channel);
        End(&e);
    }
    return Report(request, code);
}

}  // namespace

INT_PTR CALLBACK SetOffsetDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        SetFocus(GetDlgItem(dlg, IDC_OFFSET_VALUE));
        return FALSE;
    }
    if (msg != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        char text[10] = "";
        GetDlgItemTextA(dlg, IDC_OFFSET_VALUE, text, sizeof text);
        if (OffsetFromText(text, &OffsetValue))
            EndDialog(dlg, 1);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}

int SetOffsetCommand(HWND owner)
{
    if (Ports[IF_USB].connected != 1)
        return 0;
    if (DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_SET_OFFSET), owner, SetOffsetDialogProc, 0) != 1)
        return 0;
    Command(VENDOR_SET_OFFSET, [](const VendorChannel& c) { return VendorSetOffset(c, OffsetValue); });
    return 1;
}

int MibObjectSetCommand(const std::string& request)
{
    return Command(VENDOR_MIB_SET, [&](const VendorChannel& c) { return VendorMibSet(c, request); });
}

int MibValueGetCommand(unsigned size, std::string* answer)
{
    answer->clear();
    return Command(VENDOR_MIB_GET, [&](const VendorChannel& c) { return VendorMibGet(c, size, answer); });
}

int GetJobEndCommand(int* busy)
{
    *busy = 0;
    return Command(VENDOR_JOB_END, [&](const VendorChannel& c) { return VendorJobEnd(c, busy); });
}

int MibReferCycle()
{
    if (MibDialogOpen)
        return 1;
    Exchange e;
    int code = Begin(&e);
    if (code != 0) {
        Report(VENDOR_MIB_SET, code);
        MibRequestCounter = 1;
        return 0;
    }
    int counter = MibRequestCounter;
    MibCycleResult result;
    int ok = MibCycle(e.channel, &counter, &result);
    End(&e);
    MibRequestCounter = counter;
    for (const std::string& line : result.errors)
        AppendDisplayLine(line.c_str());
    if (result.logged)
        ConnectionLogMessage("%s", result.value.c_str());
    return ok;
}

// The printer's answer to "has the job ended" for the GET_JOB_END retry: -1 when the request failed.
int JobEndQuery()
{
    int busy = 0;
    return GetJobEndCommand(&busy) ? busy : -1;
}
