// "MIB refer (transmission)": builds one MIB request by hand, sends it and shows the
// decoded answer. Its request and answer are its own; the automatic cycle has others.
#include "common/resource.h"
#include "services/mib_codec.h"
#include "services/mib_cycle.h"
#include "services/mib_filter.h"
#include "services/vendor.h"

namespace {

struct MibDialog {
    int command;
    int type;
    int rewriting;  // set while the filter writes a field back
    std::string previous[3];  // community, object id, value: the last accepted texts
};
MibDialog dialog;

const int editIds[3] = {IDC_MIB_COMMUNITY, IDC_MIB_OID, IDC_MIB_VALUE};

std::string Text(HWND dlg, int id)
{
    HWND field = GetDlgItem(dlg, id);
    std::string text(GetWindowTextLengthA(field) + 1, 0);
    text.resize(GetWindowTextA(field, &text[0], static_cast<int>(text.size())));
    return text;
}

void SetText(HWND dlg, int id, const std::string& text)
{
    SetDlgItemTextA(dlg, id, text.c_str());
}

int ValueField()
{
    static const int fields[] = {MIB_FIELD_INTEGER, MIB_FIELD_STRING, MIB_FIELD_OID_VALUE};
    return fields[dialog.type - 1];
}

// Rewrites the edit into its layout after a change, or undoes a refused change.
void Filter(HWND dlg, int slot)
{
    static const int fields[] = {MIB_FIELD_COMMUNITY, MIB_FIELD_OBJECT_ID, 0};
    int field = slot == 2 ? ValueField() : fields[slot];
    HWND edit = GetDlgItem(dlg, editIds[slot]);
    std::string text = Text(dlg, editIds[slot]), laidOut;
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    size_t caret = end;
    dialog.rewriting = 1;
    if (!MibFilter(field, text, caret, &laidOut, &caret)) {
        const std::string& previous = dialog.previous[slot];
        size_t added = text.size() > previous.size() ? text.size() - previous.size() : 0;
        caret = end >= added ? end - added : 0;
        if (caret > previous.size())
            caret = previous.size();
        SetWindowTextA(edit, previous.c_str());
    } else if (laidOut != text) {
        SetWindowTextA(edit, laidOut.c_str());
    }
    dialog.previous[slot] = Text(dlg, editIds[slot]);
    SendMessageA(edit, EM_SETSEL, caret, caret);
    dialog.rewriting = 0;
}

void EmptyValue(HWND dlg, int limit)
{
    dialog.rewriting = 1;
    SetText(dlg, IDC_MIB_VALUE, "");
    dialog.previous[2].clear();
    dialog.rewriting = 0;
    SendDlgItemMessageA(dlg, IDC_MIB_VALUE, EM_LIMITTEXT, limit, 0);
}

void EnableSetFields(HWND dlg, int on)
{
    for (int id : {IDC_MIB_INTEGER, IDC_MIB_STRING, IDC_MIB_OBJECT_ID, IDC_MIB_VALUE})
        EnableWindow(GetDlgItem(dlg, id), on);
}

void ShowRuler(HWND dlg, int charId, int hexId, int hex)
{
    ShowWindow(GetDlgItem(dlg, charId), hex ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(dlg, hexId), hex ? SW_SHOW : SW_HIDE);
}

void ChooseType(HWND dlg, int type)
{
    dialog.type = type;
    ShowRuler(dlg, IDC_MIB_CHAR_RULER, IDC_MIB_HEX_RULER, type == MIB_OBJECT_ID);
    EmptyValue(dlg, type == MIB_INTEGER ? 4 : 4592);
    SetFocus(GetDlgItem(dlg, IDC_MIB_VALUE));
}

void ChooseCommand(HWND dlg, int command)
{
    dialog.command = command;
    EnableSetFields(dlg, command == MIB_SET);
    if (command != MIB_SET)
        EmptyValue(dlg, dialog.type == MIB_INTEGER ? 4 : 4592);
}

void Open(HWND dlg)
{
    dialog = MibDialog();
    dialog.command = MIB_GET;
    dialog.type = MIB_INTEGER;
    HFONT fixed = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    for (int id : {IDC_MIB_COMMUNITY, IDC_MIB_OID, IDC_MIB_VALUE, IDC_MIB_CHAR_RULER, IDC_MIB_HEX_RULER,
                   IDC_MIB_R_COMMUNITY, IDC_MIB_R_OID, IDC_MIB_R_VALUE, IDC_MIB_R_CHAR_RULER, IDC_MIB_R_HEX_RULER})
        SendDlgItemMessageA(dlg, id, WM_SETFONT, reinterpret_cast<WPARAM>(fixed), 0);
    CheckRadioButton(dlg, IDC_MIB_GET, IDC_MIB_SET, IDC_MIB_GET);
    CheckRadioButton(dlg, IDC_MIB_INTEGER, IDC_MIB_OBJECT_ID, IDC_MIB_INTEGER);
    SendDlgItemMessageA(dlg, IDC_MIB_COMMUNITY, EM_LIMITTEXT, MibFieldLimit(MIB_FIELD_COMMUNITY), 0);
    SendDlgItemMessageA(dlg, IDC_MIB_OID, EM_LIMITTEXT, MibFieldLimit(MIB_FIELD_OBJECT_ID), 0);
    dialog.rewriting = 1;
    SetText(dlg, IDC_MIB_COMMUNITY, MIB_CYCLE_COMMUNITY);
    dialog.rewriting = 0;
    dialog.previous[0] = MIB_CYCLE_COMMUNITY;
    ChooseCommand(dlg, MIB_GET);
    ShowRuler(dlg, IDC_MIB_CHAR_RULER, IDC_MIB_HEX_RULER, 0);
    SendDlgItemMessageA(dlg, IDC_MIB_RECEIVE_SIZE, EM_LIMITTEXT, 4, 0);
    SetText(dlg, IDC_MIB_RECEIVE_SIZE, "255");
    SetFocus(GetDlgItem(dlg, IDC_MIB_COMMUNITY));
    SendDlgItemMessageA(dlg, IDC_MIB_COMMUNITY, EM_SETSEL, dialog.previous[0].size(), dialog.previous[0].size());
}

int Build(HWND dlg, std::string* request)
{
    MibBuild build;
    int ok = MibBuildRequest({dialog.command, dialog.type, Text(dlg, IDC_MIB_COMMUNITY), Text(dlg, IDC_MIB_OID),
                              Text(dlg, IDC_MIB_VALUE)},
                             &build);
    SetText(dlg, IDC_MIB_COMMUNITY_SIZE, build.communitySize);
    if (!build.objectIdSize.empty())
        SetText(dlg, IDC_MIB_OID_SIZE, build.objectIdSize);
    if (!ok) {
        MessageBoxA(dlg, build.error, "Error", MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    *request = build.request;
    return 1;
}

void Show(HWND dlg, const MibAnswer& a)
{
    if (a.result == MIB_ERROR_ANSWER) {
        SetText(dlg, IDC_MIB_R_STATUS, "ERROR");
        return;
    }
    SetText(dlg, IDC_MIB_R_STATUS, HexText(a.errorStatus));
    SetText(dlg, IDC_MIB_R_PACK, HexText(a.objectPack));
    SetText(dlg, IDC_MIB_R_COMMUNITY_SIZE, HexText(a.communityLength));
    SetText(dlg, IDC_MIB_R_COMMUNITY, a.community);
    SetText(dlg, IDC_MIB_R_OID_SIZE, HexText(a.objectIdLength));
    SetText(dlg, IDC_MIB_R_OID, HexText(a.objectId));
    if (a.value.empty())
        return;
    SetText(dlg, IDC_MIB_R_TYPE, HexText(a.dataType));
    int hex = 0;
    SetText(dlg, IDC_MIB_R_VALUE, MibValueText(a, &hex));
    ShowRuler(dlg, IDC_MIB_R_CHAR_RULER, IDC_MIB_R_HEX_RULER, hex);
}

void GetMib(HWND dlg)
{
    std::string text = Text(dlg, IDC_MIB_RECEIVE_SIZE);
    unsigned size = MibReceiveSize(text.c_str());
    if (std::to_string(size) != text)
        SetText(dlg, IDC_MIB_RECEIVE_SIZE, std::to_string(size));
    for (int id : {IDC_MIB_R_STATUS, IDC_MIB_R_PACK, IDC_MIB_R_COMMUNITY_SIZE, IDC_MIB_R_COMMUNITY, IDC_MIB_R_OID_SIZE,
                   IDC_MIB_R_OID, IDC_MIB_R_TYPE, IDC_MIB_R_VALUE})
        SetText(dlg, id, "");
    std::string answer;
    if (!MibValueGetCommand(size, &answer))
        return;
    MibAnswer decoded;
    MibDecode(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), &decoded);
    Show(dlg, decoded);
}

int Command(HWND dlg, int id, int code)
{
    std::string request;
    for (int slot = 0; slot < 3; slot++)
        if (id == editIds[slot] && code == EN_CHANGE && !dialog.rewriting)
            Filter(dlg, slot);
    switch (id) {
    case IDC_MIB_GET: case IDC_MIB_GET_NEXT: case IDC_MIB_SET:
        ChooseCommand(dlg, id - IDC_MIB_GET + 1);
        break;
    case IDC_MIB_INTEGER: case IDC_MIB_STRING: case IDC_MIB_OBJECT_ID:
        ChooseType(dlg, id - IDC_MIB_INTEGER + 1);
        break;
    case IDOK:
        Build(dlg, &request);
        break;
    case IDC_MIB_SET_MIB:
        if (Build(dlg, &request))
            MibObjectSetCommand(request);
        break;
    case IDC_MIB_GET_MIB:
        GetMib(dlg);
        break;
    case IDCANCEL:
        EndDialog(dlg, 0);
        break;
    default:
        return FALSE;
    }
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MibDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        Open(dlg);
        return FALSE;
    }
    if (msg == WM_COMMAND)
        return Command(dlg, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

void MibObjectCommand(HWND owner)
{
    if (Ports[IF_USB].connected != 1)
        return;
    MibDialogOpen = 1;
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_MIB), owner, MibDialogProc, 0);
    MibDialogOpen = 0;
}
