#include "send/function_keys.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "send/direct_send.h"
#include "send/escape.h"
#include "send/fkey_file.h"
#include <commdlg.h>
#include <stdlib.h>
#include <string>

static const int fieldIds[FUNCTION_KEY_COUNT] = {IDC_FK_F1, IDC_FK_F2, IDC_FK_F3, IDC_FK_F4,  IDC_FK_F5,  IDC_FK_F6,
                                                 IDC_FK_F7, IDC_FK_F8, IDC_FK_F9, IDC_FK_F10, IDC_FK_F11, IDC_FK_F12};
static const char fileFilter[] = "Text File (*.txt)\0*.txt\0All File (*.*)\0*.*\0";

int SendFunctionKey(int n) {
  if (n < 1 || n > FUNCTION_KEY_COUNT) return 0;
  unsigned char bytes[KEY_TEXT_SIZE];
  int count = ExpandFunctionKey(FunctionKeys[n - 1], bytes, sizeof bytes);
  return DirectSend(bytes, count);
}

static std::string FieldText(HWND dlg, int key) {
  char text[KEY_TEXT_SIZE] = "";
  GetDlgItemTextA(dlg, fieldIds[key], text, sizeof text);
  return text;
}

// A raw line break (pasted, not typed as \r or \n) would split the key's line in the
// settings file and the function-key file, and shift every later key.
static int ValidateField(HWND dlg, int key) {
  std::string text = FieldText(dlg, key);
  int start = (int)text.find_first_of("\r\n"), length = 1;
  const char* problem = "A line break cannot be put in a function key. Please write it as \\r or \\n.";
  if (start < 0) {
    if (ValidateFunctionKeyText(text.c_str(), &start, &length)) return 1;
    problem = "An escape character is inaccurate.";
  }
  MessageBoxA(dlg, problem, "Error", MB_OK | MB_ICONSTOP);
  HWND field = GetDlgItem(dlg, fieldIds[key]);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, start, start + length);
  return 0;
}

static void StoreFields(HWND dlg) {
  for (int key = 0; key < FUNCTION_KEY_COUNT; key++)
    if (!ValidateField(dlg, key)) return;
  for (int key = 0; key < FUNCTION_KEY_COUNT; key++)
    lstrcpynA(FunctionKeys[key], FieldText(dlg, key).c_str(), sizeof FunctionKeys[key]);
  EndDialog(dlg, IDOK);
}

int SaveFunctionKeyFile(HWND dlg, const char* path) {
  std::string texts[FUNCTION_KEY_COUNT];
  const char* pointers[FUNCTION_KEY_COUNT];
  for (int key = 0; key < FUNCTION_KEY_COUNT; key++) {
    texts[key] = FieldText(dlg, key);
    pointers[key] = texts[key].c_str();
  }
  std::string file = FormatFunctionKeyFile(pointers);
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  BOOL done = WriteFile(handle, file.data(), (DWORD)file.size(), &written, NULL) && written == file.size();
  CloseHandle(handle);
  return done;
}

// The whole file, or false when it cannot be opened, held in memory or read.
static bool ReadWholeFile(const char* path, std::string* data) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool done = GetFileSizeEx(handle, &size) && size.QuadPart < 0x10000000;
  char* bytes = done ? (char*)malloc((size_t)size.QuadPart + 1) : NULL;
  DWORD read = 0;
  done = bytes && ReadFile(handle, bytes, (DWORD)size.QuadPart, &read, NULL) && read == size.QuadPart;
  CloseHandle(handle);
  if (done) data->assign(bytes, read);
  free(bytes);
  return done;
}

int LoadFunctionKeyFile(HWND dlg, const char* path) {
  std::string data;
  if (!ReadWholeFile(path, &data)) return 0;
  std::string texts[FUNCTION_KEY_COUNT];
  if (!ReadFunctionKeyFile(data.data(), data.size(), texts)) {
    MessageBoxA(dlg, "A file format is inaccurate.", "Error", MB_OK | MB_ICONSTOP);
    return 0;
  }
  for (int key = 0; key < FUNCTION_KEY_COUNT; key++) SetDlgItemTextA(dlg, fieldIds[key], texts[key].c_str());
  return 1;
}

static int ChooseFile(HWND dlg, const char* title, char* path, bool save) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = fileFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = title;
  ofn.Flags = save ? OFN_OVERWRITEPROMPT : OFN_HIDEREADONLY;
  return save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
}

static void Save(HWND dlg) {
  char path[MAX_PATH] = "";
  if (ChooseFile(dlg, "Please choose a preservation file.", path, true)) SaveFunctionKeyFile(dlg, path);
}

static void Load(HWND dlg) {
  char path[MAX_PATH] = "";
  if (ChooseFile(dlg, "Please choose a reading file.", path, false)) LoadFunctionKeyFile(dlg, path);
}

static void FillFields(HWND dlg) {
  for (int key = 0; key < FUNCTION_KEY_COUNT; key++) {
    SendDlgItemMessageA(dlg, fieldIds[key], EM_LIMITTEXT, KEY_TEXT_SIZE - 1, 0);
    if (FunctionKeys[key][0]) SetDlgItemTextA(dlg, fieldIds[key], FunctionKeys[key]);
  }
}

static INT_PTR CALLBACK FunctionKeyDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    FillFields(dlg);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK: StoreFields(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, IDCANCEL); return TRUE;
    case IDC_FK_CLEAR:
      for (int id : fieldIds) SetDlgItemTextA(dlg, id, "");
      return TRUE;
    case IDC_FK_SAVE: Save(dlg); return TRUE;
    case IDC_FK_LOAD: Load(dlg); return TRUE;
  }
  return FALSE;
}

void FunctionKeyDialog(HWND owner) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_FUNCTION_KEY), owner, FunctionKeyDialogProc, 0);
}
