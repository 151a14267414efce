#pragma once

#include <windows.h>

#include "ui/Notices.h"

namespace meridial {

// The models' notices as message boxes over one window, caption "Meridial". A message box has
// no details button: the details follow the text, after a blank line.
class Win32Notices final : public Notices {
public:
    explicit Win32Notices(HWND owner = nullptr) : m_owner(owner) {}
    void SetOwner(HWND owner) { m_owner = owner; }

    void Tell(const Notice& notice) override;
    NoticeButton Ask(const Notice& notice) override;

private:
    HWND m_owner;
};

}  // namespace meridial
