#pragma once

#include "app/MainWindowModel.h"
#include "clock/TimeFieldModel.h"
#include "win32/Win32Dialogs.h"
#include "win32/Win32Notices.h"
#include "win32/Win32Settings.h"
#include "win32/Win32Window.h"
#include "zone/ZoneRowsModel.h"

namespace meridial::win32 {

// The main window, caption "Meridial": a view over the main window's, the time field's and the
// zone group's models.
class TForm1 final : public Win32Window {
public:
    TForm1(SignLink& link, Win32Settings& settings);
    bool Create();
    void SetWindows(TSetCom* setCom, TAboutBox* about, TSetID* setId);
    // The first showing, once the other windows exist.
    void Show(int showCommand);

    // Every message of the program's loops passes here first. Enter never reaches a control of
    // the main window; Ctrl+F9 anywhere in it opens the service dialog. True: consumed.
    bool PreTranslate(MSG& message);

    // The time field's subclass reaches its model through these.
    TimeFieldModel& TimeModel() { return m_timeModel; }
    void ReportTimeCaret();
    void DrawTime();
    bool RestoringFocus() const { return m_restoringFocus; }
    void LeaveTimeField();
    void RichEdit1Typed(bool& discard);
    void ShowEditorMenu(LPARAM at);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void BuildMenus();
    void BuildControls();
    void FormCreate();
    MainWindowModel::FrontEnd FrontEnd();

    void OnCommand(int id, int code);
    void RichEdit1Change();
    void DrawEditorStatus();
    void DrawTransfer();
    void DrawProgress();
    void DrawZone();
    void DrawRow(DstRow which);
    void SeedClock();
    void Timer1Timer();
    void HourChanged(DstRow which, bool leaving);
    void DateTimePicker1DropDown();
    DateTimeEntry DateEntry() const;

    void Button1Click();
    void Button2Click();
    void FromPcZoneClick();
    void SetCom2Click();
    void ReadMe1Click();
    void About1Click();
    void SetModalMenusEnabled(bool enabled);

    Win32Settings& m_settings;
    Win32Notices m_notices;
    TimeFieldModel m_timeModel;
    ZoneRowsModel m_zone;
    MainWindowModel m_model;
    TSetCom* m_setCom = nullptr;
    TAboutBox* m_about = nullptr;
    TSetID* m_setId = nullptr;
    HMENU m_menu = nullptr;
    HMENU m_popup = nullptr;
    HFONT m_editorFont = nullptr;
    HBRUSH m_yellow = nullptr;
    HWND m_tips = nullptr;
    HWND m_lastFocus = nullptr;
    bool m_restoringFocus = false;
    bool m_drawing = false;
    bool m_timerRunning = false;
    bool m_transferHadFocus = false;
};

}  // namespace meridial::win32
