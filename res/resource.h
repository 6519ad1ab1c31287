/* Resource ids of Selvo.flt, shared by the resource script and the code. */
#ifndef SELVO_RESOURCE_H
#define SELVO_RESOURCE_H

/* String table */
#define IDS_CLASS_NAME 1
#define IDS_CATEGORY 2
#define IDS_LIB_DESCRIPTION 3
#define IDS_FILTER_DESCRIPTION 5

/* ---- Dialogs and the about picture ---- */
#define IDD_ABOUT 101
#define IDD_SETUP 102
#define IDB_ABOUT_PICTURE 103

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* ---- Setup dialog: settings controls ---- */
/* Radio-button ids double as the stored settings values. */
#define IDC_MATERIAL_EFFECTS 1001
#define IDC_OBJECT_CHANNEL 1002
#define IDC_OUTPUT_NAME 1005
#define IDC_BROWSE_OUTPUT 1006
#define IDC_UNIFORM 1023
#define IDC_MOST_SIMILAR 1024
#define IDC_BROWSE_PALETTE 1025

/* ---- Setup dialog: the 16 ID rows ---- */
/* The ids are irregular; the pick buttons alone run in steps of one. */
/* ID 0 */
#define IDC_PICK_0 1007
#define IDC_FROM_EDIT_0 1028
#define IDC_FROM_SPINNER_0 1048
#define IDC_TO_EDIT_0 1030
#define IDC_TO_SPINNER_0 1049
#define IDC_DITHER_0 1027
/* ID 1 */
#define IDC_PICK_1 1008
#define IDC_FROM_EDIT_1 1031
#define IDC_FROM_SPINNER_1 1050
#define IDC_TO_EDIT_1 1032
#define IDC_TO_SPINNER_1 1051
#define IDC_DITHER_1 1033
/* ID 2 */
#define IDC_PICK_2 1009
#define IDC_FROM_EDIT_2 1034
#define IDC_FROM_SPINNER_2 1052
#define IDC_TO_EDIT_2 1035
#define IDC_TO_SPINNER_2 1053
#define IDC_DITHER_2 1036
/* ID 3 */
#define IDC_PICK_3 1010
#define IDC_FROM_EDIT_3 1037
#define IDC_FROM_SPINNER_3 1054
#define IDC_TO_EDIT_3 1038
#define IDC_TO_SPINNER_3 1055
#define IDC_DITHER_3 1039
/* ID 4 */
#define IDC_PICK_4 1011
#define IDC_FROM_EDIT_4 1040
#define IDC_FROM_SPINNER_4 1056
#define IDC_TO_EDIT_4 1041
#define IDC_TO_SPINNER_4 1057
#define IDC_DITHER_4 1042
/* ID 5 */
#define IDC_PICK_5 1012
#define IDC_FROM_EDIT_5 1043
#define IDC_FROM_SPINNER_5 1058
#define IDC_TO_EDIT_5 1044
#define IDC_TO_SPINNER_5 1059
#define IDC_DITHER_5 1045
/* ID 6 */
#define IDC_PICK_6 1013
#define IDC_FROM_EDIT_6 1046
#define IDC_FROM_SPINNER_6 1060
#define IDC_TO_EDIT_6 1047
#define IDC_TO_SPINNER_6 1061
#define IDC_DITHER_6 1062
/* ID 7 */
#define IDC_PICK_7 1014
#define IDC_FROM_EDIT_7 1063
#define IDC_FROM_SPINNER_7 1064
#define IDC_TO_EDIT_7 1065
#define IDC_TO_SPINNER_7 1066
#define IDC_DITHER_7 1067
/* ID 8 */
#define IDC_PICK_8 1015
#define IDC_FROM_EDIT_8 1068
#define IDC_FROM_SPINNER_8 1069
#define IDC_TO_EDIT_8 1070
#define IDC_TO_SPINNER_8 1071
#define IDC_DITHER_8 1072
/* ID 9 */
#define IDC_PICK_9 1016
#define IDC_FROM_EDIT_9 1073
#define IDC_FROM_SPINNER_9 1074
#define IDC_TO_EDIT_9 1075
#define IDC_TO_SPINNER_9 1076
#define IDC_DITHER_9 1077
/* ID 10 */
#define IDC_PICK_10 1017
#define IDC_FROM_EDIT_10 1078
#define IDC_FROM_SPINNER_10 1079
#define IDC_TO_EDIT_10 1080
#define IDC_TO_SPINNER_10 1081
#define IDC_DITHER_10 1082
/* ID 11 */
#define IDC_PICK_11 1018
#define IDC_FROM_EDIT_11 1083
#define IDC_FROM_SPINNER_11 1084
#define IDC_TO_EDIT_11 1085
#define IDC_TO_SPINNER_11 1086
#define IDC_DITHER_11 1087
/* ID 12 */
#define IDC_PICK_12 1019
#define IDC_FROM_EDIT_12 1088
#define IDC_FROM_SPINNER_12 1089
#define IDC_TO_EDIT_12 1090
#define IDC_TO_SPINNER_12 1091
#define IDC_DITHER_12 1092
/* ID 13 */
#define IDC_PICK_13 1020
#define IDC_FROM_EDIT_13 1093
#define IDC_FROM_SPINNER_13 1094
#define IDC_TO_EDIT_13 1095
#define IDC_TO_SPINNER_13 1096
#define IDC_DITHER_13 1097
/* ID 14 */
#define IDC_PICK_14 1021
#define IDC_FROM_EDIT_14 1098
#define IDC_FROM_SPINNER_14 1099
#define IDC_TO_EDIT_14 1100
#define IDC_TO_SPINNER_14 1101
#define IDC_DITHER_14 1102
/* ID 15 */
#define IDC_PICK_15 1022
#define IDC_FROM_EDIT_15 1103
#define IDC_FROM_SPINNER_15 1104
#define IDC_TO_EDIT_15 1105
#define IDC_TO_SPINNER_15 1106
#define IDC_DITHER_15 1107

#endif
