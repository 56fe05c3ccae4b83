// The program's entry point: opens the updater dialog and returns 0 when it ends; a second
// instance hands over to the first and returns 0 at once.
#include <windows.h>

#include <commctrl.h>

#include "resource.h"
#include "single_instance.h"
#include "updater_app.h"
#include "updater_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A second start brings the first dialog to the front and ends, before any port is
    // touched.
    if (!ClaimSingleInstance()) return 0;

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
