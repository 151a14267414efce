#include "win32/TForm1.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <array>
#include <chrono>

#include "clock/DisplayFormats.h"
#include "win32/Win32MessageEncoder.h"
#include "win32/Win32Zone.h"
#include "win32/WideText.h"

namespace meridial::win32 {
namespace {

enum : int {
    kPanel1 = 1000,
    kLabel7,
    kComboBox1,
    kGroupBox1,
    kRichEdit1,
    kTrackBar1,
    kGroupBox2,
    kGroupBox3,
    kGroupBox4,
    kDateTimePicker1,
    kMaskEdit1,
    kComboBox2,
    kComboBox3,
    kComboBox4,
    kComboBox12,
    kComboBox20,
    kComboBox15,
    kComboBox16,
    kCSpinEdit1,
    kUpDown1,
    kComboBox21,
    kComboBox17,
    kComboBox18,
    kCSpinEdit2,
    kUpDown2,
    kFromPcZone,
    kButton1,
    kButton2,
    kStatusBar1,
    kProgressBar1,
    kSetCom2 = 2000,
    kReadMe1,
    kAbout1,
    kCut1,
    kCopy1,
    kPaste1,
};

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kLeaveTimeField = WM_APP + 1;
constexpr COLORREF kPanelYellow = RGB(240, 238, 180);

struct RowIds {
    int year, month, day, hour;
};
constexpr RowIds kStartIds{kComboBox20, kComboBox15, kComboBox16, kCSpinEdit1};
constexpr RowIds kEndIds{kComboBox21, kComboBox17, kComboBox18, kCSpinEdit2};
const RowIds& IdsOf(DstRow row) { return row == DstRow::Start ? kStartIds : kEndIds; }

std::wstring WindowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void AddItem(HWND list, std::string_view item) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
}

int Selection(HWND list) { return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)); }

std::optional<int> OptionalIndex(int index) {
    return index < 0 ? std::nullopt : std::optional<int>(index);
}

TForm1* FormOf(DWORD_PTR data) { return reinterpret_cast<TForm1*>(data); }

// The time field is an edit whose every edit goes through the time field's model.
LRESULT CALLBACK TimeFieldProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
    TForm1& form = *FormOf(data);
    TimeFieldModel& model = form.TimeModel();
    auto forward = [&](auto&& event) {
        form.ReportTimeCaret();
        event(model);
        form.DrawTime();
    };
    switch (message) {
        case WM_GETDLGCODE:
            // Tabbing in selects nothing: a digit typed next replaces one position only.
            return DefSubclassProc(edit, message, wParam, lParam) & ~DLGC_HASSETSEL;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) return forward([](TimeFieldModel& m) { m.Escape(); }), 0;
            if (wParam == VK_BACK) return forward([](TimeFieldModel& m) { m.Backspace(); }), 0;
            if (wParam == VK_DELETE) return forward([](TimeFieldModel& m) { m.Delete(); }), 0;
            break;
        case WM_CHAR: {
            const auto c = static_cast<char32_t>(wParam);
            // Select-all and copy keep working; the rest of the control keys write nothing.
            if (c == 1 || c == 3) break;
            if (c < 32 || c == 127 || (c >= 0xD800 && c <= 0xDFFF)) return 0;
            // Full-width digits of an input method count as the digit they are.
            const char32_t typed = c >= 0xFF10 && c <= 0xFF19 ? U'0' + (c - 0xFF10) : c;
            forward([typed](TimeFieldModel& m) { m.Typed(typed); });
            return 0;
        }
        case WM_KEYUP: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            forward([](TimeFieldModel& m) { m.KeyUp(); });
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            if (message == WM_LBUTTONDOWN)
                forward([](TimeFieldModel& m) { m.MouseDown(); });
            else
                forward([](TimeFieldModel& m) { m.MouseUp(); });
            return result;
        }
        case WM_CUT:
        case WM_CLEAR:
        case WM_PASTE:
        case WM_UNDO:
        case EM_UNDO: {
            // The edit does it, then the model puts the result back into the field's shape.
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            std::string after;
            for (const wchar_t c : WindowText(edit))
                after += c >= L'0' && c <= L'9' ? static_cast<char>(c) : c == L':' ? ':' : ' ';
            DWORD start = 0;
            DWORD end = 0;
            SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            if (after != model.Text()) model.Reshape(after, end);
            form.DrawTime();
            return result;
        }
        case WM_SETFOCUS: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            model.FocusIn(!form.RestoringFocus());
            return result;
        }
        case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            // Focus moving to another window, a box or the service dialog, is not leaving.
            const auto to = reinterpret_cast<HWND>(wParam);
            if (to && GetAncestor(to, GA_ROOT) == GetAncestor(edit, GA_ROOT))
                PostMessageW(GetAncestor(edit, GA_ROOT), kLeaveTimeField, 0, 0);
            return result;
        }
        default:
            break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// The message editor: a typed character may be refused, Tab moves on (a TAB in the message
// would reach the sign as a byte), and the right button opens Cut, Copy, Paste.
LRESULT CALLBACK RichEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
    switch (message) {
        case WM_GETDLGCODE: {
            LRESULT code = DefSubclassProc(edit, message, wParam, lParam);
            code &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_HASSETSEL);
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB)
                code &= ~DLGC_WANTMESSAGE;
            return code;
        }
        case WM_CHAR:
            if (wParam == L'\t') return 0;
            if (wParam >= 32 && !(GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) &&
                !(wParam >= 0xDC00 && wParam <= 0xDFFF)) {
                bool discard = false;
                FormOf(data)->RichEdit1Typed(discard);
                if (discard) return 0;
            }
            break;
        case WM_CONTEXTMENU:
            FormOf(data)->ShowEditorMenu(lParam);
            return 0;
        default:
            break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

TForm1::TForm1(SignLink& link, Win32Settings& settings)
    : m_settings(settings),
      m_zone(
          [] {
              SYSTEMTIME now;
              GetLocalTime(&now);
              return static_cast<int>(now.wYear);
          }(),
          PcZoneStateNow().bias, m_notices),
      m_model(link, settings, m_notices, FrontEnd()) {}

MainWindowModel::FrontEnd TForm1::FrontEnd() {
    MainWindowModel::FrontEnd frontEnd;
    frontEnd.encoder = Win32MessageEncoder(m_settings);
    frontEnd.entries = [this] {
        const ZoneEntry zone = m_zone.Entry();
        return StepEntries{DateEntry(), zone.zoneRow, zone.start, zone.end, PcZoneStateNow()};
    };
    frontEnd.seedClock = [this] { SeedClock(); };
    frontEnd.editorChanged = [this] { DrawEditorStatus(); };
    frontEnd.transferChanged = [this] { DrawTransfer(); };
    frontEnd.progressChanged = [this] { DrawProgress(); };
    return frontEnd;
}

bool TForm1::Create() {
    BuildMenus();
    if (!CreateTop(L"MeridialForm1", L"Meridial", WS_OVERLAPPEDWINDOW, nullptr,
                   m_menu))
        return false;
    m_notices.SetOwner(Handle());
    PlaceCentred(765, 572);
    BuildControls();
    FormCreate();
    return true;
}

void TForm1::SetWindows(TSetCom* setCom, TAboutBox* about, TSetID* setId) {
    m_setCom = setCom;
    m_about = about;
    m_setId = setId;
}

void TForm1::BuildMenus() {
    m_menu = CreateMenu();
    HMENU setCom = CreatePopupMenu();
    AppendMenuW(setCom, MF_STRING, kSetCom2, L"Set Com...");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, kReadMe1, L"Read Me");
    AppendMenuW(help, MF_STRING, kAbout1, L"About...");
    // The top captions end in spaces, which widen them.
    AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(setCom), L"Set Com            ");
    AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Help         ");
    m_popup = CreatePopupMenu();
    AppendMenuW(m_popup, MF_STRING, kCut1, L"Cut");
    AppendMenuW(m_popup, MF_STRING, kCopy1, L"Copy");
    AppendMenuW(m_popup, MF_STRING, kPaste1, L"Paste");
}

void TForm1::BuildControls() {
    constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    constexpr DWORD kGroup = BS_GROUPBOX;
    AddControl(WC_STATICW, L"", SS_ETCHEDHORZ, -1, 0, 0, 749, 2, Font::None);
    AddControl(WC_STATICW, L"", SS_OWNERDRAW, kPanel1, 0, 2, 749, 41, Font::None);
    AddControl(WC_STATICW, L" Time Sign ID: ", 0, kLabel7, 12, 15, 96, 16, Font::Bold);
    AddControl(WC_COMBOBOXW, L"", kList, kComboBox1, 112, 11, 60, 300);

    AddControl(WC_BUTTONW, L" Sign Message ", kGroup, kGroupBox1, 8, 46, 733, 176);
    AddControl(WC_STATICW, L"Messages:", 0, -1, 20, 64, 100, 14);
    LoadLibraryW(L"Msftedit.dll");
    AddControl(MSFTEDIT_CLASS, L"",
               ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP |
                   ES_DISABLENOSCROLL,
               kRichEdit1, 20, 80, 709, 100, Font::None, WS_EX_CLIENTEDGE);
    AddControl(WC_STATICW, L"Move Speed:", 0, -1, 20, 192, 90, 14);
    AddControl(WC_STATICW, L"Slow", 0, -1, 114, 192, 30, 14);
    AddControl(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP,
               kTrackBar1, 146, 186, 200, 30);
    AddControl(WC_STATICW, L"Fast", 0, -1, 352, 192, 30, 14);

    AddControl(WC_BUTTONW, L" Date and Time ", kGroup, kGroupBox2, 8, 226, 733, 222);
    AddControl(WC_BUTTONW, L" Local Date and Time ", kGroup, kGroupBox3, 16, 244, 260, 196);
    AddControl(WC_STATICW, L"Date:", 0, -1, 26, 266, 80, 14);
    AddControl(DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP, kDateTimePicker1, 110,
               262, 150, 22);
    AddControl(WC_STATICW, L"Time:", 0, -1, 26, 296, 80, 14);
    AddControl(WC_EDITW, L"", ES_LEFT | WS_TABSTOP, kMaskEdit1, 110, 292, 80, 22, Font::Bold,
               WS_EX_CLIENTEDGE);
    AddControl(WC_STATICW, L"Time Format:", 0, -1, 26, 326, 80, 14);
    AddControl(WC_COMBOBOXW, L"", kList, kComboBox2, 110, 322, 150, 200);
    AddControl(WC_STATICW, L"Date Format:", 0, -1, 26, 356, 80, 14);
    AddControl(WC_COMBOBOXW, L"", kList, kComboBox3, 110, 352, 150, 200);
    AddControl(WC_COMBOBOXW, L"", kList, kComboBox4, 110, 382, 150, 200);

    AddControl(WC_BUTTONW, L"  Set Time Zone and Daylight Saving Time  ", kGroup, kGroupBox4, 284,
               244, 449, 196);
    AddControl(WC_STATICW, L"Country/Region:", 0, -1, 296, 262, 200, 14, Font::Bold);
    AddControl(WC_COMBOBOXW, L"", kList, kComboBox12, 296, 278, 428, 400);
    const std::array<const wchar_t*, 4> heads{L"Year", L"Month", L"Day", L"Hour"};
    const std::array<int, 4> columns{376, 462, 548, 628};
    for (std::size_t c = 0; c < heads.size(); ++c)
        AddControl(WC_STATICW, heads[c], 0, -1, columns[c], 310, 70, 14, Font::Bold);
    int y = 328;
    for (auto [caption, ids] : {std::pair{L"DST Start:", kStartIds}, {L"DST End:", kEndIds}}) {
        AddControl(WC_STATICW, caption, 0, -1, 296, y + 4, 78, 14, Font::Bold);
        AddControl(WC_COMBOBOXW, L"", kList, ids.year, columns[0], y, 80, 300);
        AddControl(WC_COMBOBOXW, L"", kList, ids.month, columns[1], y, 80, 300);
        AddControl(WC_COMBOBOXW, L"", kList, ids.day, columns[2], y, 74, 300);
        HWND hour = AddControl(WC_EDITW, L"0", ES_LEFT | WS_TABSTOP, ids.hour, columns[3], y, 48,
                               22, Font::Normal, WS_EX_CLIENTEDGE);
        HWND spin = AddControl(UPDOWN_CLASSW, L"",
                               UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, ids.hour + 1,
                               columns[3] + 48, y, 18, 22, Font::None);
        SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(hour), 0);
        SendMessageW(spin, UDM_SETRANGE32, 0, kMaxDstHour);
        y += 30;
    }
    AddControl(WC_BUTTONW, L"From PC Zone", BS_PUSHBUTTON | WS_TABSTOP, kFromPcZone, columns[0],
               y + 4, 200, 24);

    AddControl(WC_BUTTONW, L"Transfer", BS_PUSHBUTTON | WS_TABSTOP, kButton1, 250, 454, 100, 26);
    AddControl(WC_BUTTONW, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, kButton2, 400, 454, 100, 26);

    HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                  Handle(), reinterpret_cast<HMENU>(kStatusBar1),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(NormalFont()), FALSE);
    const std::array<int, 3> edges{Scale(190), Scale(380), Scale(430)};
    SendMessageW(status, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, status,
                    reinterpret_cast<HMENU>(kProgressBar1), GetModuleHandleW(nullptr), nullptr);

    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(),
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_tips, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, Scale(500));
    for (int id : {kComboBox12, kFromPcZone}) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(Control(id));
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void TForm1::FormCreate() {
    HWND status = Control(kStatusBar1);
    HWND progress = GetDlgItem(status, kProgressBar1);
    // The third panel is the window's to draw: it hosts the progress bar.
    SendMessageW(status, SB_SETTEXTW, 2 | SBT_OWNERDRAW, 0);
    // A bar of its own colour, without the theme (which ignores the colour) or the edge.
    SetWindowTheme(progress, L"", L"");
    SetWindowLongPtrW(progress, GWL_EXSTYLE,
                      GetWindowLongPtrW(progress, GWL_EXSTYLE) & ~WS_EX_STATICEDGE);
    SendMessageW(progress, PBM_SETBARCOLOR, 0, RGB(0, 0, 255));
    SendMessageW(progress, PBM_SETRANGE32, 0, 100);
    // The group captions' colours show only without the theme.
    for (int id : {kGroupBox1, kGroupBox2, kGroupBox3, kGroupBox4})
        SetWindowTheme(Control(id), L"", L"");
    m_yellow = CreateSolidBrush(kPanelYellow);

    HWND editor = Control(kRichEdit1);
    SendMessageW(editor, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO, 0);
    m_editorFont = CreateFontW(-Scale(19), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               FIXED_PITCH | FF_MODERN, L"MingLiU");
    SendMessageW(editor, WM_SETFONT, reinterpret_cast<WPARAM>(m_editorFont), FALSE);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD | CFM_COLOR;
    format.dwEffects = CFE_BOLD;
    format.crTextColor = RGB(0, 0, 0);
    SendMessageW(editor, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageW(editor, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessageW(editor, EM_EXLIMITTEXT, 0, 1 << 20);
    SetWindowSubclass(editor, RichEditProc, 1, reinterpret_cast<DWORD_PTR>(this));

    HWND time = Control(kMaskEdit1);
    SendMessageW(time, EM_SETLIMITTEXT, kTimeFieldLength, 0);
    SetWindowSubclass(time, TimeFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
    DrawTime();

    HWND speed = Control(kTrackBar1);
    SendMessageW(speed, TBM_SETRANGE, FALSE, MAKELPARAM(kSlowestSpeed, kFastestSpeed));
    SendMessageW(speed, TBM_SETPAGESIZE, 0, 1);
    SendMessageW(speed, TBM_SETTICFREQ, 1, 0);
    SendMessageW(speed, TBM_SETPOS, TRUE, m_model.Speed());

    for (const std::string& id : m_model.SignIds()) AddItem(Control(kComboBox1), id);
    SendMessageW(Control(kComboBox1), CB_SETCURSEL, m_model.SignId(), 0);
    for (auto [id, names] : {std::pair{kComboBox2, std::vector<std::string_view>(
                                                       kTimeFormatNames.begin(),
                                                       kTimeFormatNames.end())},
                             {kComboBox3, {kDateStyleNames.begin(), kDateStyleNames.end()}},
                             {kComboBox4, {kDateOrderNames.begin(), kDateOrderNames.end()}}}) {
        for (std::string_view name : names) AddItem(Control(id), name);
        SendMessageW(Control(id), CB_SETCURSEL, 0, 0);
    }
    for (const std::string& zone : ZoneRowsModel::ZoneItems()) AddItem(Control(kComboBox12), zone);
    for (DstRow row : {DstRow::Start, DstRow::End}) {
        for (const std::string& year : ZoneRowsModel::YearItems())
            AddItem(Control(IdsOf(row).year), year);
        for (const std::string& month : ZoneRowsModel::MonthItems())
            AddItem(Control(IdsOf(row).month), month);
    }
    DrawZone();
}

void TForm1::Show(int showCommand) {
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
    m_model.Shown();
}

bool TForm1::PreTranslate(MSG& message) {
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root == Handle()) {
        const bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
                         message.message == WM_CHAR;
        if (key && (message.wParam == VK_RETURN || message.wParam == L'\r')) return true;
        if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
            message.wParam == VK_F9 && GetKeyState(VK_CONTROL) < 0 && m_setId)
            m_setId->ShowModeless();
        return IsDialogMessageW(Handle(), &message);
    }
    if (m_setId && root == m_setId->Handle()) return IsDialogMessageW(root, &message);
    return false;
}

void TForm1::ReportTimeCaret() {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(Control(kMaskEdit1), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    const TimeFieldCaret& drawn = m_timeModel.Caret();
    // An edit does not say which end of a selection its caret is at: where the selection is the
    // one drawn, the caret is where the model put it.
    if (drawn.selectionStart == start && drawn.selectionStart + drawn.selectionLength == end)
        m_timeModel.CaretMoved(drawn);
    else
        m_timeModel.CaretMoved({end, start, end - start});
}

void TForm1::DrawTime() {
    HWND time = Control(kMaskEdit1);
    const std::wstring shown = Widen(m_timeModel.Text());
    if (WindowText(time) != shown) SetWindowTextW(time, shown.c_str());
    const TimeFieldCaret& caret = m_timeModel.Caret();
    const auto start = static_cast<WPARAM>(caret.selectionStart);
    const auto end = static_cast<LPARAM>(caret.selectionStart + caret.selectionLength);
    if (caret.selectionLength == 0)
        SendMessageW(time, EM_SETSEL, caret.cursor, static_cast<LPARAM>(caret.cursor));
    else if (caret.cursor == caret.selectionStart)
        SendMessageW(time, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(start));
    else
        SendMessageW(time, EM_SETSEL, start, end);
}

void TForm1::LeaveTimeField() {
    ReportTimeCaret();
    const std::optional<Notice> notice = m_timeModel.Leave();
    if (!notice) return;
    MessageBeep(MB_OK);
    // The field keeps the focus, with the caret on the digit missing, while the box shows and
    // after it closes.
    SetFocus(Control(kMaskEdit1));
    DrawTime();
    m_notices.Tell(*notice);
    SetFocus(Control(kMaskEdit1));
    m_timeModel.Reported();
    DrawTime();
}

void TForm1::SeedClock() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::chrono::seconds sinceMidnight(now.wHour * 3600 + now.wMinute * 60 + now.wSecond);
    ReportTimeCaret();
    m_timeModel.Seed(std::chrono::hh_mm_ss(sinceMidnight));
    DrawTime();
    if (m_timeModel.ClockStarted() && !m_timerRunning) {
        SetTimer(Handle(), kTimer1, 1000, nullptr);
        m_timerRunning = true;
    }
}

void TForm1::Timer1Timer() {
    ReportTimeCaret();
    m_timeModel.Tick();
    DrawTime();
}

DateTimeEntry TForm1::DateEntry() const {
    SYSTEMTIME date{};
    SendMessageW(Control(kDateTimePicker1), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    return {{date.wYear, date.wMonth, date.wDay},
            m_timeModel.Text(),
            {static_cast<TimeFormat>(Selection(Control(kComboBox2))),
             static_cast<DateStyle>(Selection(Control(kComboBox3))),
             static_cast<DateOrder>(Selection(Control(kComboBox4)))}};
}

void TForm1::DateTimePicker1DropDown() {
    HWND calendar = reinterpret_cast<HWND>(
        SendMessageW(Control(kDateTimePicker1), DTM_GETMONTHCAL, 0, 0));
    if (!calendar) return;
    SetWindowLongW(calendar, GWL_STYLE, GetWindowLongW(calendar, GWL_STYLE) | MCS_WEEKNUMBERS);
    RECT size{};
    SendMessageW(calendar, MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&size));
    const auto today = static_cast<LONG>(SendMessageW(calendar, MCM_GETMAXTODAYWIDTH, 0, 0));
    if (today > size.right) size.right = today;
    SetWindowPos(calendar, nullptr, 0, 0, size.right, size.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The drop-down around the calendar grows with it.
    if (HWND dropDown = GetParent(calendar); dropDown && dropDown != Control(kDateTimePicker1)) {
        RECT outer{0, 0, size.right, size.bottom};
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(dropDown, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(dropDown, GWL_EXSTYLE)));
        SetWindowPos(dropDown, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TForm1::RichEdit1Typed(bool& discard) { discard = !m_model.TypedCharacter(); }

void TForm1::ShowEditorMenu(LPARAM at) {
    POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {  // from the keyboard: at the editor's corner
        RECT rect;
        GetWindowRect(Control(kRichEdit1), &rect);
        point = {rect.left, rect.top};
    }
    TrackPopupMenu(m_popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, Handle(),
                   nullptr);
}

void TForm1::RichEdit1Change() {
    std::wstring text = WindowText(Control(kRichEdit1));
    // The editor ends its paragraphs in CR; the model takes a line break as LF.
    std::wstring lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            lines += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            lines += text[i];
        }
    }
    m_model.TextChanged(Narrow(lines));
}

void TForm1::DrawEditorStatus() {
    SendMessageW(Control(kStatusBar1), SB_SETTEXTW, 1,
                 reinterpret_cast<LPARAM>(Widen(m_model.CountText()).c_str()));
}

void TForm1::DrawTransfer() {
    const bool idle = m_model.State() == MainWindowModel::TransferState::Idle;
    HWND transfer = Control(kButton1);
    if (idle != static_cast<bool>(IsWindowEnabled(transfer))) {
        if (!idle) {
            // Disabling the focused button would pass the focus on to "Cancel", where the Space
            // meant for the next Transfer closes the program. The window holds it meanwhile.
            m_transferHadFocus = GetFocus() == transfer;
            if (m_transferHadFocus) SetFocus(Handle());
            EnableWindow(transfer, FALSE);
        } else {
            EnableWindow(transfer, TRUE);
            if (m_transferHadFocus && GetFocus() == Handle()) SetFocus(transfer);
            m_transferHadFocus = false;
        }
    }
    // Dialogs that would run a modal loop inside the sequence's waits stay shut meanwhile.
    SetModalMenusEnabled(idle);
    SendMessageW(Control(kStatusBar1), SB_SETTEXTW, 0,
                 reinterpret_cast<LPARAM>(Widen(m_model.StatusText()).c_str()));
}

void TForm1::DrawProgress() {
    const MainWindowModel::Progress& progress = m_model.TransferProgress();
    HWND bar = GetDlgItem(Control(kStatusBar1), kProgressBar1);
    SendMessageW(bar, PBM_SETRANGE32, 0, progress.maximum);
    SendMessageW(bar, PBM_SETPOS, progress.position, 0);
}

void TForm1::SetModalMenusEnabled(bool enabled) {
    for (int id : {kSetCom2, kAbout1})
        EnableMenuItem(m_menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TForm1::DrawZone() {
    m_drawing = true;
    HWND zone = Control(kComboBox12);
    if (Selection(zone) != m_zone.ZoneRow()) SendMessageW(zone, CB_SETCURSEL, m_zone.ZoneRow(), 0);
    for (auto [id, hint] : {std::pair{kComboBox12, &m_zone.ZoneHint()},
                            {kFromPcZone, &m_zone.FromPcZoneHint()}}) {
        const std::wstring text = Widen(*hint);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(Control(id));
        tool.lpszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(m_tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    DrawRow(DstRow::Start);
    DrawRow(DstRow::End);
    m_drawing = false;
}

void TForm1::DrawRow(DstRow which) {
    const DstRowState& state = m_zone.Row(which);
    const RowIds& ids = IdsOf(which);
    SendMessageW(Control(ids.year), CB_SETCURSEL, state.yearIndex.value_or(-1), 0);
    SendMessageW(Control(ids.month), CB_SETCURSEL, state.monthIndex, 0);
    HWND day = Control(ids.day);
    if (SendMessageW(day, CB_GETCOUNT, 0, 0) != state.dayItems) {
        SendMessageW(day, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < state.dayItems; ++i) AddItem(day, ZoneRowsModel::DayItem(i));
    }
    SendMessageW(day, CB_SETCURSEL, state.dayIndex.value_or(-1), 0);
    HWND hour = Control(ids.hour);
    if (Narrow(WindowText(hour)) != std::to_string(state.hour))
        SetWindowTextW(hour, std::to_wstring(state.hour).c_str());
}

void TForm1::HourChanged(DstRow which, bool leaving) {
    if (m_drawing) return;
    const std::string typed = Narrow(WindowText(Control(IdsOf(which).hour)));
    if (!leaving && !IsSettledHour(typed)) return;
    const int hour = SettleHour(typed);
    m_zone.HourSet(which, hour);
    if (leaving) DrawRow(which);
}

void TForm1::FromPcZoneClick() {
    const auto warning = m_zone.FromPcZone([](int year) { return PcZoneYear(year); },
                                           PcZoneMomentNow());
    DrawZone();
    // Where the operator looks after a fill.
    if (warning)
        SendMessageW(Control(kStatusBar1), SB_SETTEXTW, 0,
                     reinterpret_cast<LPARAM>(Widen(*warning).c_str()));
}

void TForm1::Button1Click() {
    if (m_model.Transfer() == MainWindowModel::AfterTransfer::Close) DestroyWindow(Handle());
}

void TForm1::Button2Click() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void TForm1::SetCom2Click() {
    if (m_setCom) m_setCom->ShowModal(Handle());
}

void TForm1::About1Click() {
    if (m_about) m_about->ShowModal(Handle());
}

void TForm1::ReadMe1Click() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    // A missing file, or no program to open it: nothing to report.
    ShellExecuteW(Handle(), L"open", (folder + L"meridialmanual.txt").c_str(), nullptr,
                  folder.c_str(), SW_SHOW);
}

void TForm1::OnCommand(int id, int code) {
    const auto rowOf = [](int control, auto member) {
        return control == kStartIds.*member ? DstRow::Start : DstRow::End;
    };
    switch (id) {
        case kComboBox1:
            if (code == CBN_SELCHANGE) m_model.SignIdPicked(Selection(Control(id)));
            break;
        case kRichEdit1:
            if (code == EN_CHANGE) RichEdit1Change();
            break;
        case kComboBox12:
            if (code == CBN_SELCHANGE) {
                m_zone.ZonePicked(Selection(Control(id)));
                DrawZone();
            }
            break;
        case kComboBox15:
        case kComboBox17:
            if (code == CBN_SELCHANGE) {
                m_zone.MonthPicked(rowOf(id, &RowIds::month), Selection(Control(id)));
                DrawZone();
            }
            break;
        case kComboBox20:
        case kComboBox21:
            if (code == CBN_SELCHANGE)
                m_zone.YearSelected(rowOf(id, &RowIds::year), OptionalIndex(Selection(Control(id))));
            break;
        case kComboBox16:
        case kComboBox18:
            if (code == CBN_SELCHANGE)
                m_zone.DaySelected(rowOf(id, &RowIds::day), OptionalIndex(Selection(Control(id))));
            break;
        case kCSpinEdit1:
        case kCSpinEdit2:
            if (code == EN_CHANGE || code == EN_KILLFOCUS)
                HourChanged(rowOf(id, &RowIds::hour), code == EN_KILLFOCUS);
            break;
        case kFromPcZone: FromPcZoneClick(); break;
        case kButton1: Button1Click(); break;
        case kButton2: Button2Click(); break;
        case kSetCom2: SetCom2Click(); break;
        case kReadMe1: ReadMe1Click(); break;
        case kAbout1: About1Click(); break;
        case kCut1: SendMessageW(Control(kRichEdit1), WM_CUT, 0, 0); break;
        case kCopy1: SendMessageW(Control(kRichEdit1), WM_COPY, 0, 0); break;
        case kPaste1: SendMessageW(Control(kRichEdit1), WM_PASTE, 0, 0); break;
        default: break;
    }
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == Control(kTrackBar1))
                m_model.SpeedMoved(
                    static_cast<int>(SendMessageW(Control(kTrackBar1), TBM_GETPOS, 0, 0)));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kDateTimePicker1 && header->code == DTN_DROPDOWN)
                DateTimePicker1DropDown();
            return 0;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (wParam == kStatusBar1 && item->itemID == 2) {
                // The bar fills the third panel but for 15 pixels at its right.
                const RECT& r = item->rcItem;
                MoveWindow(GetDlgItem(Control(kStatusBar1), kProgressBar1), r.left, r.top,
                           r.right - r.left - 15, r.bottom - r.top, TRUE);
            } else if (wParam == kPanel1) {
                FillRect(item->hDC, &item->rcItem, m_yellow);
            }
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            auto* dc = reinterpret_cast<HDC>(wParam);
            if (id == kLabel7) {
                SetBkColor(dc, kPanelYellow);
                return reinterpret_cast<LRESULT>(m_yellow);
            }
            if (id == kGroupBox1 || id == kGroupBox2) {
                SetTextColor(dc, id == kGroupBox1 ? RGB(128, 0, 0) : RGB(0, 0, 128));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            // Labels, the track bar and the groups on the window's own ground.
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SIZE:
            SendMessageW(Control(kStatusBar1), WM_SIZE, 0, 0);
            break;
        case WM_TIMER:
            if (wParam == kTimer1) Timer1Timer();
            return 0;
        case kLeaveTimeField:
            LeaveTimeField();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (HWND focus = GetFocus(); focus && IsChild(Handle(), focus)) m_lastFocus = focus;
                return 0;
            }
            if (HIWORD(wParam)) break;  // minimised
            {
                // Coming back from one of the program's own windows, a box or a dialog.
                const auto from = reinterpret_cast<HWND>(lParam);
                if (from && GetWindowThreadProcessId(from, nullptr) == GetCurrentThreadId())
                    m_model.OwnWindowActivated();
                m_model.Activated();
                if (m_lastFocus && IsWindow(m_lastFocus)) {
                    m_restoringFocus = true;
                    SetFocus(m_lastFocus);
                    m_restoringFocus = false;
                    return 0;
                }
            }
            break;
        case WM_CLOSE:
            if (m_model.RequestClose()) DestroyWindow(Handle());
            return 0;
        case WM_DESTROY:
            if (m_timerRunning) KillTimer(Handle(), kTimer1);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            if (m_editorFont) DeleteObject(m_editorFont);
            if (m_yellow) DeleteObject(m_yellow);
            if (m_popup) DestroyMenu(m_popup);
            break;
        default:
            break;
    }
    return Win32Window::HandleMessage(message, wParam, lParam);
}

}  // namespace meridial::win32
