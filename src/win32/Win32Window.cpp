#include "win32/Win32Window.h"

namespace meridial {
namespace {

UINT DpiOf(HWND hwnd) {
    const UINT dpi = hwnd ? GetDpiForWindow(hwnd) : GetDpiForSystem();
    return dpi == 0 ? 96 : dpi;
}

}  // namespace

Win32Window::~Win32Window() {
    if (m_hwnd) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    if (m_font) DeleteObject(m_font);
    if (m_bold) DeleteObject(m_bold);
}

bool Win32Window::CreateTop(const wchar_t* className, const wchar_t* caption, DWORD style,
                            HWND owner, HMENU menu, DWORD exStyle) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!GetClassInfoExW(instance, className, &windowClass)) {
        windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Win32Window::Procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = className;
        if (!RegisterClassExW(&windowClass)) return false;
    }
    m_hwnd = CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, owner, menu, instance, this);
    if (!m_hwnd) return false;
    m_dpi = DpiOf(m_hwnd);
    MakeFonts();
    return true;
}

void Win32Window::MakeFonts() {
    if (m_font) DeleteObject(m_font);
    if (m_bold) DeleteObject(m_bold);
    auto make = [this](int weight) {
        return CreateFontW(-Scale(11), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    };
    m_font = make(FW_NORMAL);
    m_bold = make(FW_BOLD);
}

HWND Win32Window::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                             int x, int y, int width, int height, Font font, DWORD exStyle) {
    HWND control = CreateWindowExW(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, Scale(x),
                                   Scale(y), Scale(width), Scale(height), m_hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control) return nullptr;
    m_placed.push_back({control, {x, y, x + width, y + height}, font});
    if (font != Font::None)
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(font == Font::Bold ? m_bold : m_font), FALSE);
    return control;
}

void Win32Window::Layout() {
    for (const Placed& placed : m_placed) {
        SetWindowPos(placed.control, nullptr, Scale(placed.at96.left), Scale(placed.at96.top),
                     Scale(placed.at96.right - placed.at96.left),
                     Scale(placed.at96.bottom - placed.at96.top), SWP_NOZORDER | SWP_NOACTIVATE);
        if (placed.font != Font::None)
            SendMessageW(placed.control, WM_SETFONT,
                         reinterpret_cast<WPARAM>(placed.font == Font::Bold ? m_bold : m_font),
                         TRUE);
    }
}

void Win32Window::PlaceCentred(int outerWidth, int outerHeight) {
    const int width = Scale(outerWidth);
    const int height = Scale(outerHeight);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(m_hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DPICHANGED) {
        m_dpi = HIWORD(wParam);
        MakeFonts();
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window =
            static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = window->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        window->m_hwnd = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    return result;
}

void RunModal(HWND window, HWND owner, HWND focus) {
    EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    if (focus) SetFocus(focus);
    MSG message;
    while (IsWindowVisible(window)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // Quitting while the box is up: the program's own loop ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Enabled before the box goes, so that Windows gives the activation back to the owner.
    EnableWindow(owner, TRUE);
    ShowWindow(window, SW_HIDE);
    SetActiveWindow(owner);
}

}  // namespace meridial
