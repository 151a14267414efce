#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "clock/TimeFieldRules.h"
#include "ui/Notices.h"

namespace meridial {

// Where the caret and the selection stand in the time field. With nothing selected the selection
// starts at the cursor and is 0 long; with a selection the cursor is at one of its ends.
struct TimeFieldCaret {
    std::size_t cursor = 0;
    std::size_t selectionStart = 0;
    std::size_t selectionLength = 0;

    bool operator==(const TimeFieldCaret&) const = default;
};

// The date-and-time group's time field and the clock running in it, without any toolkit. A front
// end forwards the field's events, one call each, and after every call draws Text() and Caret().
// The caret is the front end's to move (arrow keys, clicks, select-all): it reports the caret
// with CaretMoved() before forwarding an event.
class TimeFieldModel {
public:
    const std::string& Text() const { return m_text; }
    const TimeFieldCaret& Caret() const { return m_caret; }
    // The clock as it would run without the operator's typing since entering the field.
    const std::string& RunningClock() const { return m_runningClock; }
    bool TypedSinceEntry() const { return m_typedSinceEntry; }
    // From the first seeding on, the front end calls Tick() once a second.
    bool ClockStarted() const { return m_clockStarted; }
    // A report of an incomplete field is on screen: focus changes meanwhile are no entry.
    bool Reporting() const { return m_reporting; }

    // The PC's time of day written into the field; the clock starts.
    void Seed(std::chrono::hh_mm_ss<std::chrono::seconds> now);
    // One second on.
    void Tick();

    void CaretMoved(TimeFieldCaret caret);
    // A printable character typed (a digit of any script already made '0'-'9').
    void Typed(char32_t c);
    void Backspace();
    void Delete();
    void Escape();
    // Every key released (not the auto-repeated ones).
    void KeyUp();
    void MouseDown();
    void MouseUp();
    // An edit that did not go key by key (cut, paste, delete to the end, an input method's
    // commit, a drop, an undo): `after` is the edited text, `cursor` where the edit left it.
    void Reshape(std::string_view after, std::size_t cursor);

    // The field takes the focus. `byOperator` is false when the window comes back or a popup
    // closes: the clock and the typing go on as they were.
    void FocusIn(bool byOperator);
    // The operator leaves the field. With a required digit blank the notice to show is returned,
    // the caret stands on that digit and the field takes the focus back; Reported(), once the
    // notice is closed, puts the caret there again.
    std::optional<Notice> Leave();
    void Reported();

private:
    // A text the program writes: no typing of the operator's.
    void Write(const std::string& text);
    void Put(std::size_t position, char c);
    void PlaceCursor(std::size_t cursor);

    std::string m_text{kBlankTimeField};
    TimeFieldCaret m_caret{kTimeFieldLength, kTimeFieldLength, 0};
    std::string m_runningClock;
    std::string m_textOnEntry;
    bool m_typedSinceEntry = false;
    bool m_clockStarted = false;
    bool m_reporting = false;
    // Where the operator last clicked in the field: each tick puts the caret back there.
    std::size_t m_savedSelectionStart = 0;
    std::size_t m_savedSelectionLength = 0;
};

}  // namespace meridial
