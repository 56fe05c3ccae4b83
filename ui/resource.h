// Resource and control ids shared by updater.rc and the dialog code.
#pragma once

#define IDD_UPDATER 129
#define IDI_APPICON 107

#define IDC_HW_DESCRIPTION 1000
#define IDC_IMAGE_PATH 2745
#define IDC_BROWSE 2746
#define IDC_FW_VERSION 2747
#define IDC_PROGRESS 2777
