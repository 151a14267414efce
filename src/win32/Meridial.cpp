// Meridial.exe: the native Windows program. Creates the four windows, the main window first,
// and runs their message loop until the main window closes.

#include <windows.h>
#include <commctrl.h>

#include "win32/TForm1.h"
#include "win32/Win32Dialogs.h"
#include "win32/Win32Settings.h"
#include "win32/Win32SignLink.h"

using namespace meridial;

namespace {

win32::TForm1* g_form = nullptr;

bool Filtered(MSG& message) { return g_form && g_form->PreTranslate(message); }

// As PumpWindowMessages, with the main window's key rules: a Transfer's waits must not let Enter
// through to a control.
void PumpWithKeyRules(unsigned long maxWaitMs) {
    MsgWaitForMultipleObjectsEx(0, nullptr, maxWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (Filtered(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                                      ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Settings settings;
    // One line, shared by every window that sends: it refuses a second open while one sequence
    // holds it.
    Win32SignLink link([&settings](int port) { return settings.DeviceForPort(port); },
                       PumpWithKeyRules);

    win32::TForm1 form1(link, settings);
    win32::TSetCom setCom(settings);
    win32::TAboutBox about;
    win32::TSetID setId(link, settings);
    if (!form1.Create() || !setCom.Create(form1.Handle()) || !about.Create(form1.Handle()) ||
        !setId.Create(form1.Handle())) {
        MessageBoxW(nullptr, L"The windows could not be created.", L"Meridial", MB_ICONERROR);
        return 1;
    }
    form1.SetWindows(&setCom, &about, &setId);
    g_form = &form1;
    form1.Show(showCommand);

    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (Filtered(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_form = nullptr;
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}
