// The program's entry point: opens the updater dialog and returns 0 when it ends.
#include <windows.h>

#include <commctrl.h>

#include "resource.h"
#include "updater_app.h"
#include "updater_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The template names the progress bar's class; it must be registered before the
    // dialog is created.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    UseDeviceLink(&updaterApp.link);
    // -1 (the dialog could not be created) ends the program just the same.
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATER), nullptr, UpdaterDialogProc, 0);
    return 0;
}
