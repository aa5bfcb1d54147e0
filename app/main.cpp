#include "lesson/CLDl2.h"
#include "res/resource.h"
#include "util/ProgramValues.h"
#include "util/SystemLibraries.h"
#include "util/WinHelpers.h"

#include <windows.h>
#include <commctrl.h>

namespace {

// The settings file lies beside the executable, with its base name and the
// extension "ini". A path that does not fit leaves it empty, and the lesson
// then runs without a settings file.
void Build_SettingsPath(HINSTANCE instance) {
    char modulePath[MAX_PATH];
    if (!ModulePath(instance, modulePath)) {
        g_settingsPath[0] = '\0';
        return;
    }
    MakeSettingsPath(modulePath, g_settingsPath, sizeof g_settingsPath);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!Load_SystemLibraries()) {
        return 0;
    }
    g_programInstance = instance;
    Build_SettingsPath(instance);

    // The lesson dialog's template names the status-bar class, and the
    // toolbar is created from it: both must be registered first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    System_Libraries().InitCommonControlsEx(&controls);

    {
        CLDl2 lesson(nullptr, IDD_LESSON, instance);
        lesson.Run_Modal();
    }
    return 0;
}
