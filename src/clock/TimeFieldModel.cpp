#include "clock/TimeFieldModel.h"

#include <algorithm>

namespace meridial {
namespace {

bool IsColon(std::size_t position) { return position == 2 || position == 5; }

}  // namespace

void TimeFieldModel::Write(const std::string& text) {
    if (text == m_text) return;
    m_text = text;
    // A replaced text leaves the caret at its end, as a line edit does.
    PlaceCursor(kTimeFieldLength);
}

void TimeFieldModel::Put(std::size_t position, char c) {
    if (m_text[position] == c) return;
    m_text[position] = c;
    m_typedSinceEntry = true;
}

void TimeFieldModel::PlaceCursor(std::size_t cursor) { m_caret = {cursor, cursor, 0}; }

void TimeFieldModel::Seed(std::chrono::hh_mm_ss<std::chrono::seconds> now) {
    m_runningClock = TimeFieldText(static_cast<int>(now.hours().count()),
                                   static_cast<int>(now.minutes().count()),
                                   static_cast<int>(now.seconds().count()));
    Write(m_runningClock);
    m_clockStarted = true;
}

void TimeFieldModel::Tick() {
    if (const auto running = TickTimeField(m_runningClock)) m_runningClock = *running;
    const auto next = TickTimeField(m_text);
    if (!next) return;
    Write(*next);
    // The caret goes back to where the operator last clicked in the field.
    m_caret = {m_savedSelectionStart + m_savedSelectionLength, m_savedSelectionStart,
               m_savedSelectionLength};
}

void TimeFieldModel::CaretMoved(TimeFieldCaret caret) {
    caret.cursor = std::min(caret.cursor, kTimeFieldLength);
    caret.selectionStart = std::min(caret.selectionStart, kTimeFieldLength);
    caret.selectionLength =
        std::min(caret.selectionLength, kTimeFieldLength - caret.selectionStart);
    if (caret.selectionLength == 0) caret.selectionStart = caret.cursor;
    m_caret = caret;
}

// A key acts at the start of the selection and on one position only; the colons are stepped
// over, never written.
void TimeFieldModel::Typed(char32_t c) {
    if (c < U'0' || c > U'9') return;  // only digits enter the field
    std::size_t pos = m_caret.selectionStart;
    if (IsColon(pos)) ++pos;
    if (pos >= kTimeFieldLength) return;
    Put(pos, static_cast<char>(c));
    PlaceCursor(IsColon(pos + 1) ? pos + 2 : pos + 1);
}

void TimeFieldModel::Backspace() {
    std::size_t pos = m_caret.selectionStart;
    if (pos == 0) return;
    --pos;
    if (IsColon(pos)) --pos;
    Put(pos, ' ');
    PlaceCursor(pos);
}

void TimeFieldModel::Delete() {
    std::size_t pos = m_caret.selectionStart;
    if (IsColon(pos)) ++pos;
    if (pos >= kTimeFieldLength) return;
    Put(pos, ' ');
    PlaceCursor(pos);
}

void TimeFieldModel::Escape() {
    // Nothing typed: the field is the running clock already. Otherwise it goes back to the clock
    // as it runs now, never to the stale text from when the field was entered.
    if (!m_typedSinceEntry) return;
    const std::size_t caret = m_caret.cursor;
    Write(m_runningClock);
    PlaceCursor(caret);
    m_typedSinceEntry = false;
}

void TimeFieldModel::KeyUp() {
    const std::string corrected = ApplyEntryRules(m_text);
    if (corrected == m_text) return;
    const std::size_t caret = m_caret.cursor;
    Write(corrected);
    PlaceCursor(caret);
}

void TimeFieldModel::MouseDown() { m_savedSelectionStart = m_caret.selectionStart; }

void TimeFieldModel::MouseUp() { m_savedSelectionLength = m_caret.selectionLength; }

void TimeFieldModel::Reshape(std::string_view after, std::size_t cursor) {
    if (after == m_text) return;
    const ReshapedTimeField shaped = ReshapeTimeField(m_text, after, cursor);
    if (shaped.text != m_text) m_typedSinceEntry = true;
    m_text = shaped.text;
    PlaceCursor(shaped.cursor);
}

void TimeFieldModel::FocusIn(bool byOperator) {
    if (m_reporting) return;
    m_textOnEntry = m_text;
    if (!byOperator) return;
    m_runningClock = m_text;
    m_typedSinceEntry = false;
}

std::optional<Notice> TimeFieldModel::Leave() {
    if (m_reporting || m_text == m_textOnEntry) return std::nullopt;
    const auto missing = FirstMissingDigit(m_text);
    if (!missing) return std::nullopt;
    m_reporting = true;
    PlaceCursor(*missing);
    return Notice{NoticeIcon::Error,
                  "Invalid input value.  Use escape key to abandon changes",
                  {},
                  {NoticeButton::Ok}};
}

void TimeFieldModel::Reported() {
    m_reporting = false;
    if (const auto missing = FirstMissingDigit(m_text)) PlaceCursor(*missing);
}

}  // namespace meridial
