#pragma once
// Resource ids shared by the resource script and the code.

#define IDD_FIND            110
#define IDD_BATCH           120
#define IDD_CRASH           121

#define IDC_FIND_COMBO      101
#define IDC_FIND_BEGIN      112
#define IDC_FIND_END        113

#define IDC_BATCH_EDIT      101
#define IDC_BATCH_CLEAR     102
#define IDC_BATCH_PASTE     103

#define IDC_CRASH_EDIT      101
