#include "win32/Win32Dialogs.h"

#include <commctrl.h>

#include "win32/WideText.h"

namespace meridial::win32 {
namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

enum : int { kList = 101, kOk = IDOK, kCancel = IDCANCEL, kVersion = 102, kIcon = 103 };

void FillList(HWND list, const std::vector<std::string>& items) {
    for (const std::string& item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
}

int ListSelection(HWND list) { return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)); }

}  // namespace

TSetCom::TSetCom(Win32Settings& settings) : m_model(settings, m_notices) {}

bool TSetCom::Create(HWND owner) {
    if (!CreateTop(L"MeridialSetCom", L"SetCom", kDialogStyle, owner, nullptr, WS_EX_DLGMODALFRAME))
        return false;
    m_notices.SetOwner(Handle());
    PlaceCentred(307, 231);
    AddControl(WC_STATICW, L"COM Port:", 0, -1, 80, 40, 120, 16, Font::Bold);
    AddControl(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kList, 80, 58, 140,
               200);
    AddControl(WC_BUTTONW, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kOk, 110, 150, 80, 26);
    AddControl(WC_BUTTONW, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCancel, 200, 150, 80, 26);
    FormCreate();
    return true;
}

void TSetCom::FormCreate() {
    FillList(Control(kList), m_model.Items());
    ShowSelection();
}

void TSetCom::ShowSelection() {
    SendMessageW(Control(kList), CB_SETCURSEL, m_model.Selection().value_or(-1), 0);
}

void TSetCom::ShowModal(HWND owner) {
    RunModal(Handle(), owner, Control(kOk));
}

void TSetCom::OKClick() {
    if (m_model.Ok()) ShowWindow(Handle(), SW_HIDE);
}

void TSetCom::Button1Click() {
    m_model.Cancel();
    ShowWindow(Handle(), SW_HIDE);
}

LRESULT TSetCom::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kList && HIWORD(wParam) == CBN_SELCHANGE) {
                m_model.Select(ListSelection(Control(kList)));
                ShowSelection();
            } else if (LOWORD(wParam) == kOk) {
                OKClick();
            } else if (LOWORD(wParam) == kCancel) {
                Button1Click();
            }
            return 0;
        case WM_CLOSE:
            Button1Click();
            return 0;
        default:
            return Win32Window::HandleMessage(message, wParam, lParam);
    }
}

TSetID::TSetID(SignLink& link, const PortNumberStore& port) : m_model(link, port, m_notices) {}

bool TSetID::Create(HWND owner) {
    if (!CreateTop(L"MeridialSetID", L"SetID", kDialogStyle, owner, nullptr, WS_EX_DLGMODALFRAME))
        return false;
    m_notices.SetOwner(Handle());
    PlaceCentred(336, 252);
    // The raised panel around the fields.
    AddControl(WC_STATICW, L"", SS_ETCHEDFRAME, -1, 10, 10, 308, 190, Font::None);
    AddControl(WC_STATICW, L"Sign ID:", 0, -1, 60, 64, 70, 16);
    AddControl(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kList, 140, 60, 100,
               240);
    AddControl(WC_BUTTONW, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kOk, 60, 140, 80, 26);
    AddControl(WC_BUTTONW, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCancel, 180, 140, 80, 26);
    FormCreate();
    return true;
}

void TSetID::FormCreate() {
    FillList(Control(kList), m_model.Items());
    SendMessageW(Control(kList), CB_SETCURSEL, m_model.Selection(), 0);
}

void TSetID::ShowModeless() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Control(kOk));
}

void TSetID::OKClick() { m_model.Ok(); }

void TSetID::CancelClick() { ShowWindow(Handle(), SW_HIDE); }

LRESULT TSetID::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kList && HIWORD(wParam) == CBN_SELCHANGE) {
                m_model.Select(ListSelection(Control(kList)));
                SendMessageW(Control(kList), CB_SETCURSEL, m_model.Selection(), 0);
            } else if (LOWORD(wParam) == kOk) {
                OKClick();
            } else if (LOWORD(wParam) == kCancel) {
                CancelClick();
            }
            return 0;
        case WM_CLOSE:
            CancelClick();
            return 0;
        default:
            return Win32Window::HandleMessage(message, wParam, lParam);
    }
}

bool TAboutBox::Create(HWND owner) {
    if (!CreateTop(L"MeridialAbout", L"About", kDialogStyle, owner, nullptr, WS_EX_DLGMODALFRAME))
        return false;
    // The client area is fixed; the frame around it is the system's.
    RECT outer{0, 0, Scale(299), Scale(207)};
    AdjustWindowRectExForDpi(&outer, kDialogStyle, FALSE, WS_EX_DLGMODALFRAME,
                             GetDpiForWindow(Handle()));
    const int dpi = static_cast<int>(GetDpiForWindow(Handle()));
    PlaceCentred(MulDiv(outer.right - outer.left, 96, dpi), MulDiv(outer.bottom - outer.top, 96, dpi));
    AddControl(WC_STATICW, L"", SS_SUNKEN, -1, 8, 8, 283, 150, Font::None);
    HWND icon = AddControl(WC_STATICW, L"", SS_ICON, kIcon, 20, 20, 32, 32, Font::None);
    SendMessageW(icon, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1))),
                 0);
    AddControl(WC_STATICW,
               L"Version 4.0 \n For Meridial Module. \n3 lines (Time,Date,Info) Module", 0,
               kVersion, 70, 20, 210, 60);
    AddControl(WC_BUTTONW, L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 110, 170, 80, 26);
    return true;
}

void TAboutBox::ShowModal(HWND owner) {
    RunModal(Handle(), owner, Control(IDOK));
}

void TAboutBox::OKButtonClick() { ShowWindow(Handle(), SW_HIDE); }

LRESULT TAboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) ||
        message == WM_CLOSE) {
        OKButtonClick();
        return 0;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

}  // namespace meridial::win32
