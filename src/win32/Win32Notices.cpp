#include "win32/Win32Notices.h"

#include <algorithm>

#include "ui/BoxTexts.h"
#include "win32/WideText.h"

namespace meridial {
namespace {

UINT IconStyle(NoticeIcon icon) {
    switch (icon) {
        case NoticeIcon::Information: return MB_ICONINFORMATION;
        case NoticeIcon::Error: return MB_ICONERROR;
        case NoticeIcon::Question: return MB_ICONQUESTION;
        case NoticeIcon::Plain: break;
    }
    return 0;
}

bool Has(const Notice& notice, NoticeButton button) {
    return std::find(notice.buttons.begin(), notice.buttons.end(), button) !=
           notice.buttons.end();
}

// The box's buttons: the standard sets hold Yes and No, Yes, No and OK only as OK and Cancel
// would misname them, so a lone Yes shows as OK and answers Yes.
UINT ButtonStyle(const Notice& notice) {
    if (Has(notice, NoticeButton::Yes) && Has(notice, NoticeButton::No)) return MB_YESNO;
    return MB_OK;
}

NoticeButton Answer(const Notice& notice, int pressed) {
    switch (pressed) {
        case IDYES: return NoticeButton::Yes;
        case IDNO: return NoticeButton::No;
        case IDOK:
            return notice.buttons.size() == 1 ? notice.buttons.front() : NoticeButton::Ok;
        default: break;
    }
    return notice.buttons.empty() ? NoticeButton::Ok : notice.buttons.back();
}

int Show(HWND owner, const Notice& notice) {
    std::string text = notice.text;
    if (!notice.details.empty()) text += "\n\n" + notice.details;
    const UINT style = IconStyle(notice.icon) | ButtonStyle(notice) | MB_APPLMODAL;
    return MessageBoxW(owner, Widen(text).c_str(), Widen(box_texts::kProgramCaption).c_str(),
                       style);
}

}  // namespace

void Win32Notices::Tell(const Notice& notice) { Show(m_owner, notice); }

NoticeButton Win32Notices::Ask(const Notice& notice) {
    return Answer(notice, Show(m_owner, notice));
}

}  // namespace meridial
