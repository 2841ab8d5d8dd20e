#include "send/block_dialog.h"
#include "common/resource.h"
#include "send/engine.h"
#include "send/list_file.h"
#include <commdlg.h>
#include <shellapi.h>

std::vector<std::string> FileTable;

const unsigned KBYTE_SIZE_MAX = 0xFFFFFFFFu / 1024;

static ConnectionBlock* dialogBlock;

static int TcpipActive() { return ActiveKind() == IF_TCPIP; }

static unsigned FieldNumber(HWND dlg, int id) { return GetDlgItemInt(dlg, id, NULL, FALSE); }

static void Enable(HWND dlg, int id, int on) { EnableWindow(GetDlgItem(dlg, id), on); }

static int Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

static void Check(HWND dlg, int id, int on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }

static void ApplyHighSpeedRule(HWND dlg) {
  HighSpeed = Checked(dlg, IDC_BLK_HIGH_SPEED);
  int slow = !HighSpeed;
  if (HighSpeed) {
    TimeOutOn = WaitOn = 0;
    Check(dlg, IDC_BLK_TIMEOUT_ON, 0);
    Check(dlg, IDC_BLK_WAIT_ON, 0);
    SetDlgItemInt(dlg, IDC_BLK_DELAY, 0, FALSE);
  }
  Enable(dlg, IDC_BLK_TIMEOUT_ON, slow && !TcpipActive());
  Enable(dlg, IDC_BLK_TIMEOUT, slow && !TcpipActive());
  Enable(dlg, IDC_BLK_WAIT_ON, slow);
  Enable(dlg, IDC_BLK_WAIT, slow);
  Enable(dlg, IDC_BLK_DELAY, slow);
}

// ---- the list box is the list

static HWND List(HWND dlg) { return GetDlgItem(dlg, IDC_BLK_LIST); }

static int ListCount(HWND dlg) { return (int)SendMessageA(List(dlg), LB_GETCOUNT, 0, 0); }

static std::vector<std::string> ListNames(HWND dlg) {
  std::vector<std::string> names;
  char name[LIST_NAME_MAX + 1];
  for (int i = 0; i < ListCount(dlg); i++) {
    if (SendMessageA(List(dlg), LB_GETTEXTLEN, i, 0) > LIST_NAME_MAX) continue;
    SendMessageA(List(dlg), LB_GETTEXT, i, (LPARAM)name);
    names.push_back(name);
  }
  return names;
}

static void SetListNames(HWND dlg, const std::vector<std::string>& names) {
  SendMessageA(List(dlg), LB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) SendMessageA(List(dlg), LB_ADDSTRING, 0, (LPARAM)name.c_str());
}

static std::vector<int> Selected(HWND dlg) {
  std::vector<int> selected(ListCount(dlg));
  int count = (int)SendMessageA(List(dlg), LB_GETSELITEMS, selected.size(), (LPARAM)selected.data());
  selected.resize(count > 0 ? count : 0);
  return selected;
}

static void SetHorizontalExtent(HWND dlg) {
  std::string longest;
  for (const std::string& name : ListNames(dlg))
    if (name.size() > longest.size()) longest = name;
  HDC dc = GetDC(List(dlg));
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(List(dlg), WM_GETFONT, 0, 0));
  SIZE size = {};
  GetTextExtentPoint32A(dc, longest.c_str(), (int)longest.size(), &size);
  SelectObject(dc, old);
  ReleaseDC(List(dlg), dc);
  SendMessageA(List(dlg), LB_SETHORIZONTALEXTENT, size.cx + GetSystemMetrics(SM_CXHSCROLL), 0);
}

// Picked names go in sorted; before the first selected entry (each at the same
// position) when one is selected, else at the end.
static void InsertNames(HWND dlg, std::vector<std::string> names, int position) {
  if (names.size() > 1) SortPathsNoCase(names);
  for (const std::string& name : names)
    SendMessageA(List(dlg), position < 0 ? LB_ADDSTRING : LB_INSERTSTRING, position, (LPARAM)name.c_str());
}

// A path the file table cannot hold is refused here, where the user still sees it, rather
// than listed and then never sent.
static void ListOrRefuse(HWND dlg, const std::vector<std::string>& names, int position) {
  std::vector<std::string> listed, refused;
  for (const std::string& name : names) (name.size() > LIST_NAME_MAX ? refused : listed).push_back(name);
  InsertNames(dlg, listed, position);
  if (refused.empty()) return;
  std::string text = "A path longer than 259 characters cannot be sent. Not listed:";
  for (size_t i = 0; i < refused.size() && i < 5; i++) text += "\n" + refused[i];
  if (refused.size() > 5) text += "\n(" + std::to_string(refused.size() - 5) + " more)";
  MessageBoxA(dlg, text.c_str(), "Error", MB_OK);
}

static void PickFiles(HWND dlg) {
  std::vector<char> buffer(100000, 0);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = dlg;
  dialog.lpstrFilter = "All Files(*.*)\0*.*\0";
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = (DWORD)buffer.size();
  dialog.lpstrTitle = "Please choose a transmitting file.";
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) return;
  std::vector<std::string> picked;
  std::string directory = buffer.data();
  const char* name = buffer.data() + directory.size() + 1;
  if (!*name) picked.push_back(directory);
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  for (; *name && picked.size() < LIST_ENTRY_MAX; name += strlen(name) + 1) picked.push_back(directory + name);
  std::vector<int> selected = Selected(dlg);
  ListOrRefuse(dlg, picked, selected.empty() ? -1 : selected[0]);
}

static void DropFiles(HWND dlg, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0);
  std::vector<std::string> dropped;
  for (UINT i = 0; i < count && i < LIST_ENTRY_MAX; i++) {
    std::string name(DragQueryFileA(drop, i, NULL, 0) + 1, '\0');
    name.resize(DragQueryFileA(drop, i, &name[0], (UINT)name.size()));
    dropped.push_back(name);
  }
  DragFinish(drop);
  ListOrRefuse(dlg, dropped, -1);
}

static void DeleteSelected(HWND dlg) {
  std::vector<int> selected = Selected(dlg);
  for (auto i = selected.rbegin(); i != selected.rend(); ++i) SendMessageA(List(dlg), LB_DELETESTRING, *i, 0);
}

static void MoveSelected(HWND dlg, int step) {
  std::vector<int> selected = Selected(dlg);
  if (selected.size() != 1) {
    MessageBoxA(dlg, "It is one file that it can move. Please re-choose.", "Error", MB_OK);
    return;
  }
  int from = selected[0], to = from + step;
  if (to < 0 || to >= ListCount(dlg)) return;
  std::string name(SendMessageA(List(dlg), LB_GETTEXTLEN, from, 0) + 1, '\0');
  SendMessageA(List(dlg), LB_GETTEXT, from, (LPARAM)&name[0]);
  SendMessageA(List(dlg), LB_DELETESTRING, from, 0);
  SendMessageA(List(dlg), LB_INSERTSTRING, to, (LPARAM)name.c_str());
  SendMessageA(List(dlg), LB_SETSEL, TRUE, to);
}

// ---- the list file

static void ErrorBox(HWND dlg, const char* text) { MessageBoxA(dlg, text, "Error", MB_OK); }

static int ChooseRecordFile(HWND dlg, int save, char* path) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = dlg;
  dialog.lpstrFilter = "All Files(*.*)\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = 261;
  dialog.lpstrTitle = save ? "Please choose a preservation file." : "Please choose a reading file.";
  // A list is saved to a new file as often as to an old one.
  dialog.Flags = OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return 0;
  SetDlgItemTextA(dlg, IDC_BLK_RECORD_NAME, path);
  return 1;
}

static int ReadWholeFile(const char* path, std::string& data) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = GetFileSize(file, NULL), read = 0;
  int done = size != INVALID_FILE_SIZE;
  if (done) {
    data.resize(size);
    done = ReadFile(file, &data[0], size, &read, NULL) && read == size;
  }
  CloseHandle(file);
  return done;
}

static void CallListFile(HWND dlg) {
  char path[261] = "";
  if (!ChooseRecordFile(dlg, 0, path)) return;
  std::string data;
  std::vector<std::string> names;
  if (!ReadWholeFile(path, data) || !ReadListFile(data.data(), data.size(), names)) {
    ErrorBox(dlg, "A file was not able to be read.");
    return;
  }
  SetListNames(dlg, names);
}

static void PreserveListFile(HWND dlg) {
  if (ListCount(dlg) == 0) return;
  char path[261] = "";
  if (!ChooseRecordFile(dlg, 1, path)) return;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    ErrorBox(dlg, "A file cannot be opened.");
    return;
  }
  std::string text = FormatListFile(ListNames(dlg));
  DWORD written = 0;
  if (!WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL) || written != text.size())
    ErrorBox(dlg, "A file cannot be saved.");
  CloseHandle(file);
}

// ---- opening and closing

static void OpenDialog(HWND dlg, ConnectionBlock* block) {
  dialogBlock = block;
  DragAcceptFiles(dlg, TRUE);
  if (!TcpipActive()) TimeOutOn = 0;
  SetDlgItemInt(dlg, IDC_BLK_TIMEOUT, block->timeOut / 1000, FALSE);
  SetDlgItemInt(dlg, IDC_BLK_WAIT, block->wait, FALSE);
  SetDlgItemInt(dlg, IDC_BLK_SIZE, block->blockSizeValue, FALSE);
  SetDlgItemInt(dlg, IDC_BLK_TIMES, block->numberOfTimes, FALSE);
  SetDlgItemInt(dlg, IDC_BLK_DELAY, *DelayField(block, ActiveKind()), FALSE);
  Check(dlg, IDC_BLK_KBYTE, KbyteFlag);
  Check(dlg, IDC_BLK_ORDER, OrderOption);
  Check(dlg, IDC_BLK_WAIT_ON, WaitOn);
  Check(dlg, IDC_BLK_HIGH_SPEED, HighSpeed);
  Check(dlg, IDC_BLK_TIMEOUT_ON, TimeOutOn);
  SetListNames(dlg, FileTable);
  ApplyHighSpeedRule(dlg);
}

// A value out of range is corrected in its field and the dialog stays open.
static int Corrected(HWND dlg, int id, unsigned value) {
  SetDlgItemInt(dlg, id, value, FALSE);
  return 0;
}

static int Transmit(HWND dlg) {
  DragAcceptFiles(dlg, FALSE);
  unsigned timeOut = FieldNumber(dlg, IDC_BLK_TIMEOUT), wait = FieldNumber(dlg, IDC_BLK_WAIT);
  if (!TcpipActive() && TimeOutOn == 1 && (timeOut == 0 || timeOut > 300)) return Corrected(dlg, IDC_BLK_TIMEOUT, 300);
  if (WaitOn == 1 && wait > 300) return Corrected(dlg, IDC_BLK_WAIT, 300);
  if (WaitOn == 1 && wait < 5) return Corrected(dlg, IDC_BLK_WAIT, 5);
  unsigned size = FieldNumber(dlg, IDC_BLK_SIZE);
  if (size == 0) return Corrected(dlg, IDC_BLK_SIZE, 1);
  // A kilobyte count whose byte count does not fit would leave a block of 0 bytes.
  if (KbyteFlag && size > KBYTE_SIZE_MAX) return Corrected(dlg, IDC_BLK_SIZE, KBYTE_SIZE_MAX);
  unsigned times = FieldNumber(dlg, IDC_BLK_TIMES);
  if (times == 0) return Corrected(dlg, IDC_BLK_TIMES, 1);
  unsigned delay = FieldNumber(dlg, IDC_BLK_DELAY);
  if (delay > 10000) return Corrected(dlg, IDC_BLK_DELAY, 0);
  if (ListCount(dlg) < 1 || ListCount(dlg) > LIST_ENTRY_MAX) return 0;

  FileTable = ListNames(dlg);
  BlockSizeBytes = KbyteFlag ? size * 1024 : size;
  ConnectionBlock* block = dialogBlock;
  block->timeOut = timeOut * 1000;
  block->blockSizeValue = size;
  block->numberOfTimes = times;
  *DelayField(block, ActiveKind()) = delay;
  if (ActiveKind() != IF_NONE) Ports[ActiveKind()].interval = delay;
  block->fileCount = (uint32_t)FileTable.size();
  block->wait = wait;
  return 1;
}

static void Command(HWND dlg, int id) {
  switch (id) {
    case IDC_BLK_KBYTE: KbyteFlag = Checked(dlg, id); break;
    case IDC_BLK_ORDER: OrderOption = Checked(dlg, id); break;
    case IDC_BLK_TIMEOUT_ON: TimeOutOn = Checked(dlg, id); break;
    case IDC_BLK_WAIT_ON: WaitOn = Checked(dlg, id); break;
    case IDC_BLK_HIGH_SPEED: ApplyHighSpeedRule(dlg); break;
    case IDC_BLK_SELECT: PickFiles(dlg); break;
    case IDC_BLK_DELETE: DeleteSelected(dlg); break;
    case IDC_BLK_CLEAR: SendMessageA(List(dlg), LB_RESETCONTENT, 0, 0); break;
    case IDC_BLK_UP: MoveSelected(dlg, -1); break;
    case IDC_BLK_DOWN: MoveSelected(dlg, 1); break;
    case IDC_BLK_CALL: CallListFile(dlg); break;
    case IDC_BLK_PRESERVE: PreserveListFile(dlg); break;
    case IDOK:
      if (Transmit(dlg)) EndDialog(dlg, 1);
      return;
    case IDCANCEL:
      DragAcceptFiles(dlg, FALSE);
      EndDialog(dlg, 0);
      return;
    default: return;
  }
  SetHorizontalExtent(dlg);
}

static INT_PTR CALLBACK BlockDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      OpenDialog(dlg, (ConnectionBlock*)lParam);
      SetHorizontalExtent(dlg);
      return TRUE;
    case WM_DROPFILES:
      DropFiles(dlg, (HDROP)wParam);
      SetHorizontalExtent(dlg);
      return TRUE;
    case WM_COMMAND:
      Command(dlg, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

int BlockTransmissionExchange(ConnectionBlock* block, HINSTANCE instance, HWND owner) {
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BLOCK), owner, BlockDialogProc, (LPARAM)block);
  return result == 1 ? 0 : -101;
}
