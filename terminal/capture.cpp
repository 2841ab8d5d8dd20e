#include "terminal/capture.h"
#include "common/resource.h"
#include "common/state.h"
#include "common/ui.h"
#include <commdlg.h>
#include <string.h>
#include <mutex>

// The receive thread writes while the window's thread ends or starts preservation: the file
// handle and its count change only under this lock, so a chunk never meets a closed or
// reused handle and no count outlives its file.
static std::mutex captureLock;
static HANDLE captureFile = INVALID_HANDLE_VALUE;
static char captureFileName[261];
static unsigned bytesWritten;
static volatile LONG countShowPending;  // 1: a show is posted, 2: the count rests
static const UINT COUNT_REST_MS = 100;

struct FileKind { const char* combo; const char* filter; };
// Each filter is one description/pattern pair, double-NUL terminated.
static const FileKind fileKinds[] = {
    {"*.TXT", "txt(*.txt)\0*.txt\0"},
    {"*.DAT", "dat(*.dat)\0*.dat\0"},
    {"ALL", "All Files(*.*)\0*.*\0"},
};

static HANDLE CreateCaptureFile(const char* name) {
  return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

static void ChoosePreservationPlace(HWND dlg) {
  int kind = (int)SendDlgItemMessageA(dlg, IDC_CAP_KIND, CB_GETCURSEL, 0, 0);
  if (kind < 0 || kind > 2) kind = 0;
  char name[261] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = fileKinds[kind].filter;
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.lpstrTitle = "Please choose a preservation file.";
  // A capture usually goes to a new file.
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&ofn)) return;
  HANDLE file = CreateCaptureFile(name);
  if (file == INVALID_HANDLE_VALUE) {
    MessageBoxA(dlg, "A file cannot be opened.", "Error", MB_OK);
    SetDlgItemTextA(dlg, IDC_CAP_NAME, "");
    return;
  }
  CloseHandle(file);
  SetDlgItemTextA(dlg, IDC_CAP_NAME, name);
}

static INT_PTR CALLBACK CaptureDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    captureFileName[0] = '\0';
    for (const FileKind& kind : fileKinds) SendDlgItemMessageA(dlg, IDC_CAP_KIND, CB_ADDSTRING, 0, (LPARAM)kind.combo);
    SendDlgItemMessageA(dlg, IDC_CAP_KIND, CB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(dlg, IDC_CAP_KIND), TRUE);
    SetFocus(GetDlgItem(dlg, IDC_CAP_KIND));
    return FALSE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_CAP_BROWSE: ChoosePreservationPlace(dlg); return TRUE;
    case IDOK:
      GetDlgItemTextA(dlg, IDC_CAP_NAME, captureFileName, sizeof captureFileName);
      EndDialog(dlg, 1);
      return TRUE;
    case IDCANCEL: EndDialog(dlg, 2); return TRUE;
  }
  return FALSE;
}

int StartPreservationMode(HWND dialogOwner) {
  if (DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_CAPTURE), dialogOwner, CaptureDialogProc, 0) != 1) return 0;
  HANDLE file = CreateCaptureFile(captureFileName);
  if (file == INVALID_HANDLE_VALUE) {
    MessageBoxA(hLogList, "The file for preservation cannot be opened.", "Error", MB_OK);
    return 0;
  }
  std::lock_guard<std::mutex> hold(captureLock);
  captureFile = file;
  bytesWritten = 0;
  return 1;
}

void EndPreservationMode() {
  {
    std::lock_guard<std::mutex> hold(captureLock);
    if (captureFile != INVALID_HANDLE_VALUE) CloseHandle(captureFile);
    captureFile = INVALID_HANDLE_VALUE;
    bytesWritten = 0;
  }
  StatusPart2Update(0);
  PreservationFlag = 0;
}

// A flood of answers writes thousands of chunks a second: the count is shown at most once a
// rest, and the rest's end shows the count the last chunks left.
void ShowCaptureCount() {
  static unsigned shown;
  if (countShowPending == 2) {
    KillTimer(hMainWnd, CAPTURE_COUNT_TIMER);
    countShowPending = 0;
  }
  {
    std::lock_guard<std::mutex> hold(captureLock);
    if (countShowPending == 0 && bytesWritten == shown) return;
    shown = bytesWritten;
    StatusPart2Update(shown);
  }
  countShowPending = 2;
  SetTimer(hMainWnd, CAPTURE_COUNT_TIMER, COUNT_REST_MS, NULL);
}

// The count is shown by the window's thread, which reads it when it gets there: a count
// posted just before preservation ended shows as the 0 it has become.
int CaptureWrite(const unsigned char* bytes, int length) {
  int written = 0;
  {
    std::lock_guard<std::mutex> hold(captureLock);
    if (captureFile == INVALID_HANDLE_VALUE) return 1;
    DWORD done = 0;
    if (WriteFile(captureFile, bytes, length, &done, NULL) && done == (DWORD)length) written = 1;
    if (written) bytesWritten += done;
  }
  if (!written) {
    MessageBoxA(hLogList, "Failure of a file write-in function", "Error", MB_OK);
    return 0;
  }
  if (InterlockedCompareExchange(&countShowPending, 1, 0) == 0) PostMessageA(hMainWnd, WM_CAPTURE_COUNT, 0, 0);
  return 1;
}
