#pragma once

#include <windows.h>

#include <vector>

namespace meridial {

// A top-level window of the program and its controls, laid out at fixed positions given at
// 96 DPI and scaled to the monitor's DPI (again when the window moves to another monitor).
class Win32Window {
public:
    Win32Window() = default;
    virtual ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return m_hwnd; }
    // Centred on the screen, the outer size given at 96 DPI.
    void PlaceCentred(int outerWidth, int outerHeight);

protected:
    enum class Font { Normal, Bold, None };

    bool CreateTop(const wchar_t* className, const wchar_t* caption, DWORD style, HWND owner,
                   HMENU menu = nullptr, DWORD exStyle = 0);
    // Messages the window does not handle go to DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, int x,
                    int y, int width, int height, Font font = Font::Normal, DWORD exStyle = 0);
    HWND Control(int id) const { return GetDlgItem(m_hwnd, id); }
    int Scale(int pixels) const { return MulDiv(pixels, static_cast<int>(m_dpi), 96); }
    HFONT NormalFont() const { return m_font; }

private:
    struct Placed {
        HWND control;
        RECT at96;
        Font font;
    };
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeFonts();
    void Layout();

    HWND m_hwnd = nullptr;
    UINT m_dpi = 96;
    HFONT m_font = nullptr;
    HFONT m_bold = nullptr;
    std::vector<Placed> m_placed;
};

// Shows the window modally over its owner and returns when it is hidden: the owner is disabled
// meanwhile and gets the activation back.
void RunModal(HWND window, HWND owner, HWND focus = nullptr);

}  // namespace meridial
