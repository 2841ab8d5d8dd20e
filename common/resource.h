// Resource ids shared by tarvex.rc and the code.
#pragma once

// Icons, bitmaps, menu, accelerators
#define IDI_TARVEX 108
#define IDI_TARVEX_SMALL 109
#define IDR_MAINMENU 110
#define IDR_ACCEL 110
#define IDB_TOOLBAR 150

// String table
#define IDS_TITLE 104
#define IDS_HELLO 107
#define IDS_CLASS 110
#define IDS_TIP_FIRST 152 // tooltip of toolbar id N is IDS_TIP_FIRST + (N - 201)
#define IDS_WHOLE_CHOSEN 168

// Dialogs
#define IDD_ABOUT 103
#define IDD_BLOCK 112
#define IDD_CAPTURE 113
#define IDD_SELECT_IF 116
#define IDD_KEYBOARD 118
#define IDD_TCPIP 123
#define IDD_DISPLAY 126
#define IDD_FUNCTION_KEY 128
#define IDD_SET_OFFSET 172
#define IDD_MIB 173

// Child controls of the main window
#define IDC_TOOLBAR 100
#define IDC_STATUSBAR 300

// Commands: toolbar buttons
#define TB_IEEE1284 201
#define TB_USB 202
#define TB_TCPIP 203
#define TB_IEEE1394 204
#define TB_RS232C 205
#define TB_COPY 206
#define TB_CLEAR 207
#define TB_SAVE_START 208
#define TB_SAVE_END 209
#define TB_STOP 210
#define TB_JOB_CANCEL 211
#define TB_KEY_INPUT 212
#define TB_BLOCK 213
#define TB_DISCONNECT 214
#define TB_SCSI 215

// Commands: menu items and accelerators
#define IDM_ABOUT 105
#define IDM_JOB_CANCEL 32795
#define IDM_EMPTY 32801
#define IDM_DISCONNECT 32811
#define IDM_IEEE1284 32812
#define IDM_USB 32813
#define IDM_TCPIP 32814
#define IDM_IEEE1394 32815
#define IDM_MIB_REFER 32816
#define IDM_NOP_SHIFT_L 32817
#define IDM_NOP_SHIFT_U 32818
#define IDM_NOP_SHIFT_T 32819
#define IDM_NOP_SHIFT_I 32820
#define IDM_BLOCK 32821
#define IDM_KEY_INPUT 32822
#define IDM_SAVE_START 32823
#define IDM_SAVE_END 32824
#define IDM_NOP_G 32825
#define IDM_STOP 32826
#define IDM_DESCRIPTOR 32828
#define IDM_COPY 32830
#define IDM_CLEAR 32831
#define IDM_END 32832
#define IDM_FUNCTION_KEY 32833
#define IDM_DEVICE_ID 32835
#define IDM_SCSI 32838
#define IDM_SELECT_ALL 32839
#define IDM_DISPLAY 32840
#define IDM_RS232C 32841
#define IDM_SET_OFFSET 32845
#define IDM_MIBOBJECT 32846
#define IDM_GET_JOB_END 32847
#define IDM_JOB_CANCEL_KEY 32848
#define IDM_FKEY_FIRST 40001 // F1 .. F12 are 40001 .. 40012

// About dialog
#define IDC_ABOUT_ICON 1000

// Display setup dialog
#define IDC_DSP_RCV 1132
#define IDC_DSP_OPEN 1019
#define IDC_DSP_PORT 1021
#define IDC_DSP_80 2029
#define IDC_DSP_132 2028
#define IDC_DSP_FONT 1031
#define IDC_DSP_SIZE 1032

// Interface selection dialog
#define IDC_SEL_IEEE1284 1073
#define IDC_SEL_USB 1077
#define IDC_SEL_TCPIP 1076
#define IDC_SEL_IEEE1394 2020
#define IDC_SEL_RS232C 2040

// TCP/IP dialog
#define IDC_TCP_HOST 1023
#define IDC_TCP_PORT 1043
#define IDC_TCP_BIDIR 1126
#define IDC_TCP_RECONNECT 1017
#define IDC_TCP_TIMEOUT 1042
#define IDC_TCP_CHECK 1124

// Capture dialog
#define IDC_CAP_NAME 1040
#define IDC_CAP_BROWSE 1062
#define IDC_CAP_KIND 1028

// Keyboard input dialog
#define IDC_KEY_ENTRY 1041
#define IDC_KEY_HEX 1018
#define IDC_KEY_NEWLINE_GROUP 1059
#define IDC_KEY_CR 1071
#define IDC_KEY_LF 1074
#define IDC_KEY_CRLF 1072
#define IDC_KEY_UNIT_GROUP 1060
#define IDC_KEY_CHAR_UNIT 1070
#define IDC_KEY_LINE_UNIT 1075
#define IDC_KEY_ASC 1093
#define IDC_KEY_HEX_LABEL 1094

// Function key dialog (fields in tab order F1 .. F12)
#define IDC_FK_F1 1045
#define IDC_FK_F2 1049
#define IDC_FK_F3 1050
#define IDC_FK_F4 1051
#define IDC_FK_F5 1052
#define IDC_FK_F6 1053
#define IDC_FK_F7 1054
#define IDC_FK_F8 1055
#define IDC_FK_F9 1056
#define IDC_FK_F10 1046
#define IDC_FK_F11 1047
#define IDC_FK_F12 1048
#define IDC_FK_CLEAR 1121
#define IDC_FK_SAVE 1122
#define IDC_FK_LOAD 1123

// Block transmission dialog
#define IDC_BLK_LIST 1067
#define IDC_BLK_RECORD_NAME 1100
#define IDC_BLK_CALL 2002
#define IDC_BLK_PRESERVE 2001
#define IDC_BLK_SELECT 2000
#define IDC_BLK_DELETE 2004
#define IDC_BLK_CLEAR 2003
#define IDC_BLK_UP 2013
#define IDC_BLK_DOWN 2014
#define IDC_BLK_ORDER 2006
#define IDC_BLK_KBYTE 2007
#define IDC_BLK_SIZE 2008
#define IDC_BLK_TIMEOUT_ON 2009
#define IDC_BLK_TIMEOUT 2010
#define IDC_BLK_TIMES 2011
#define IDC_BLK_DELAY 2012
#define IDC_BLK_WAIT 2015
#define IDC_BLK_WAIT_ON 2016
#define IDC_BLK_HIGH_SPEED 2065

// SET_OFFSET_VALUE dialog
#define IDC_OFFSET_VALUE 2042

// MIB refer dialog
#define IDC_MIB_GET 1078
#define IDC_MIB_GET_NEXT 1079
#define IDC_MIB_SET 1080
#define IDC_MIB_INTEGER 1081
#define IDC_MIB_STRING 1082
#define IDC_MIB_OBJECT_ID 1083
#define IDC_MIB_SET_MIB 2041
#define IDC_MIB_GET_MIB 2043
#define IDC_MIB_COMMUNITY 2044
#define IDC_MIB_COMMUNITY_SIZE 2045
#define IDC_MIB_OID_SIZE 2046
#define IDC_MIB_OID 2047
#define IDC_MIB_VALUE 2048
#define IDC_MIB_CHAR_RULER 2057
#define IDC_MIB_HEX_RULER 2058
#define IDC_MIB_GET_JOBEND 2059
#define IDC_MIB_R_COMMUNITY_SIZE 2049
#define IDC_MIB_R_COMMUNITY 2050
#define IDC_MIB_R_STATUS 2051
#define IDC_MIB_R_OID_SIZE 2052
#define IDC_MIB_R_OID 2053
#define IDC_MIB_R_VALUE 2054
#define IDC_MIB_R_TYPE 2055
#define IDC_MIB_R_PACK 2056
#define IDC_MIB_R_HEX_RULER 2060
#define IDC_MIB_R_CHAR_RULER 2061
#define IDC_MIB_RECEIVE_SIZE 2063
