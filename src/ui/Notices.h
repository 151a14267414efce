#pragma once

#include <string>
#include <vector>

namespace meridial {

// What a window tells or asks the operator, without any toolkit: each front end draws it as its
// own message box. Texts keep their spaces; the sign's operators know the boxes by them.
enum class NoticeIcon { Information, Error, Question, Plain };
enum class NoticeButton { Ok, Yes, No };

struct Notice {
    NoticeIcon icon = NoticeIcon::Information;
    std::string text;
    std::string details;                // behind the box's "Show Details..."; empty for none
    std::vector<NoticeButton> buttons;  // in the box's order
};

// Implemented by each front end for one of its windows.
class Notices {
public:
    virtual ~Notices() = default;
    virtual void Tell(const Notice& notice) = 0;
    // Modal: the button pressed (the last one when the box was closed otherwise).
    virtual NoticeButton Ask(const Notice& notice) = 0;
};

}  // namespace meridial
