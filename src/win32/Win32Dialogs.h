#pragma once

#include "link/PortChoiceModel.h"
#include "service/SignIdResetModel.h"
#include "win32/Win32Notices.h"
#include "win32/Win32Settings.h"
#include "win32/Win32Window.h"

namespace meridial::win32 {

// The COM-port dialog: shown modally from the menu, hidden between showings.
class TSetCom final : public Win32Window {
public:
    explicit TSetCom(Win32Settings& settings);
    bool Create(HWND owner);
    void ShowModal(HWND owner);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void FormCreate();
    void ShowSelection();
    void OKClick();
    void Button1Click();

    Win32Notices m_notices;
    PortChoiceModel m_model;
};

// The service dialog: modeless, by Ctrl+F9 in the main window.
class TSetID final : public Win32Window {
public:
    TSetID(SignLink& link, const PortNumberStore& port);
    bool Create(HWND owner);
    void ShowModeless();

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void FormCreate();
    void OKClick();
    void CancelClick();

    Win32Notices m_notices;
    SignIdResetModel m_model;
};

class TAboutBox final : public Win32Window {
public:
    bool Create(HWND owner);
    void ShowModal(HWND owner);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OKButtonClick();
};

}  // namespace meridial::win32
