// Prints what the visible top-level windows captioned argv[1] show, one line each: the window's
// class, then the text of every child control that has one, separated by " | ". Run under the
// same Wine as the program it looks at: X sees a message box only as a window, not its words,
// while WM_GETTEXT crosses processes (a status bar answers with its first panel).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    // A hung program must not hang the look.
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &copied);
    return std::wstring(text, copied);
}

BOOL CALLBACK AddChild(HWND child, LPARAM lParam) {
    auto* line = reinterpret_cast<std::string*>(lParam);
    const std::string text = Utf8(TextOf(child));
    if (!text.empty()) *line += " | " + text;
    return TRUE;
}

BOOL CALLBACK PrintTop(HWND window, LPARAM lParam) {
    const auto* caption = reinterpret_cast<const std::wstring*>(lParam);
    if (!IsWindowVisible(window) || TextOf(window) != *caption) return TRUE;
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    std::string line = Utf8(className);
    EnumChildWindows(window, &AddChild, reinterpret_cast<LPARAM>(&line));
    // Newlines inside a box's text would split its line.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::printf("%s\n", line.c_str());
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-texts CAPTION\n");
        return 2;
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, nullptr, 0);
    std::wstring caption(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, caption.data(), size);
    caption.resize(static_cast<std::size_t>(size > 0 ? size - 1 : 0));
    EnumWindows(&PrintTop, reinterpret_cast<LPARAM>(&caption));
    std::fflush(stdout);
    return 0;
}
