#pragma once

#include <string>
#include <vector>

#include "ui/Notices.h"

namespace meridial::testing {

// Records each notice as "icon|text|details|buttons", the enums by number, and answers as told.
struct RecordingNotices final : Notices {
    void Tell(const Notice& n) override { shown.push_back(Line(n)); }
    NoticeButton Ask(const Notice& n) override { return shown.push_back(Line(n)), answer; }
    static std::string Line(const Notice& n) {
        std::string line = std::to_string(int(n.icon)) + "|" + n.text + "|" + n.details + "|";
        for (NoticeButton b : n.buttons) line += std::to_string(int(b));
        return line;
    }
    std::vector<std::string> shown;
    NoticeButton answer = NoticeButton::Yes;
};

}  // namespace meridial::testing
