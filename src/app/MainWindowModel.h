#pragma once

#include <functional>
#include <string>
#include <vector>

#include "clock/ClockFrame.h"
#include "clock/DateTimeEntry.h"
#include "link/PortNumberStore.h"
#include "link/Result.h"
#include "link/SignLink.h"
#include "message/MessageEncoder.h"
#include "message/TransferRequest.h"
#include "ui/Notices.h"
#include "zone/ZoneFrame.h"

namespace meridial {

// What a Transfer's step reads from the window's groups, as they stand when the step runs, and
// the PC's zone at that moment.
struct StepEntries {
    DateTimeEntry dateTime;
    ZoneEntry zone{kUtcZoneRow, {}, {}};
    PcZoneState pcZone;
};

// The main window without its widgets: the Sign ID, the speed, the message and its status, the
// Transfer, the preview's request and when the running clock is set from the PC's.
class MainWindowModel {
public:
    // What the model needs from its front end. Every callback may be left empty but entries.
    struct FrontEnd {
        MessageEncoder encoder;
        std::function<StepEntries()> entries;
        std::function<void()> seedClock;        // set the running clock from the PC's
        std::function<void()> editorChanged;    // the count or the marker note changed
        std::function<void()> transferChanged;  // the state or the first status panel changed
        std::function<void()> progressChanged;
    };
    enum class TransferState { Idle, Running, CloseRequested };
    enum class AfterTransfer { Stay, Close };
    struct Progress {
        int position = 0;
        int maximum = 100;
    };

    // The port is read from the store at each Transfer: SetCom may change it meanwhile.
    MainWindowModel(SignLink& link, const PortNumberStore& port, Notices& notices,
                    FrontEnd frontEnd);

    // "00".."99"; the first selected at the start.
    const std::vector<std::string>& SignIds() const { return m_signIds; }
    int SignId() const { return m_signId; }
    // Values outside the lists are ignored.
    void SignIdPicked(int index);
    int Speed() const { return m_speed; }
    void SpeedMoved(int position);

    // Every change of the editor's text, typed or pasted.
    void TextChanged(std::string utf8);
    // A character is about to be typed: false when it is to be discarded (the operator is told).
    bool TypedCharacter();
    const std::string& Text() const { return m_text; }
    // The second status panel: the count in sign bytes, empty until the text first changes.
    const std::string& CountText() const { return m_countText; }
    // The second panel's tooltip: a marker in the text a sign may stop at; empty for none.
    const std::string& MarkerNote() const { return m_markerNote; }

    // Runs the whole sequence (the link's waits keep the front end's loop going) and tells the
    // operator its outcome, unless a close was asked for meanwhile: then the window is to close.
    AfterTransfer Transfer();
    TransferState State() const { return m_state; }
    const Progress& TransferProgress() const { return m_progress; }
    const std::string& StatusText() const { return m_statusText; }
    // True when the window may close now; during a Transfer the sequence is cut short and the
    // window closes once the port is.
    bool RequestClose();

    // What a Transfer would send now, or why it would be refused, without a box.
    Result<TransferRequest> PreviewRequest() const;

    // The running clock is set from the PC's at the first showing or activation, and again on
    // coming back from one of the program's own windows (a box, a dialog); coming back from
    // another program leaves an operator's correction alone.
    void Shown();
    void Activated();
    void OwnWindowActivated();
    void SeedClock();

private:
    // The text as the sign's bytes, or the notice that refuses it.
    Result<std::string, Notice> EncodedMessage() const;
    TransferRequest ReadRequest(const std::string& messageBytes) const;
    void SetState(TransferState state);

    SignLink& m_link;
    const PortNumberStore& m_port;
    Notices& m_notices;
    FrontEnd m_frontEnd;
    std::vector<std::string> m_signIds;
    int m_signId = 0;
    int m_speed = kInitialSpeed;
    std::string m_text;
    int m_length = 0;
    std::string m_countText;
    std::string m_markerNote;
    TransferState m_state = TransferState::Idle;
    Progress m_progress;
    std::string m_statusText;
    bool m_clockSeeded = false;
    bool m_seedOnReturn = false;
};

}  // namespace meridial
