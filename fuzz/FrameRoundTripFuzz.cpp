// Frames the program builds from any inputs decode on the sign as what was sent.

#include <cstdint>

#include "FuzzInput.h"
#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "service/ResetId.h"
#include "sign/SignDecoder.h"
#include "zone/ZoneFrame.h"

using namespace meridial;
using meridial::fuzz::Broken;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const int signId = in.Int(0, 99);
    const CivilDate date{in.Int(2000, 2098), in.Int(1, 12), in.Int(1, 28)};
    const std::string timeText = in.Bytes(8);
    const PcZoneState pcZone{in.Int(-kMaxBiasMinutes, kMaxBiasMinutes), in.Byte() % 2 == 1};
    const int zoneRow = in.Int(0, 39);
    auto moment = [&] {
        return DstTransition{std::to_string(in.Int(2000, 2098)), in.Int(0, 12), in.Int(0, 28),
                             in.Int(0, 23)};
    };
    const DstTransition start = moment(), end = moment();
    const DisplayFormats formats{static_cast<TimeFormat>(in.Int(0, 1)),
                                 static_cast<DateStyle>(in.Int(0, 1)),
                                 static_cast<DateOrder>(in.Int(0, 2))};
    const int speed = in.Int(0, 4);
    const int newId = in.Int(1, 255);
    const std::string text = in.Rest();

    const FrameResult clockFrame = BuildClockFrame(signId, date, timeText, pcZone);
    if (!clockFrame) Broken("clock frame refused within the bias range");
    const std::string clock = *clockFrame;
    const FrameResult zone = BuildZoneFrame(signId, zoneRow, start, end, formats);
    const std::string message = BuildMessageFrame(signId, speed, text).value();
    const std::string reset = BuildResetFrame(newId);

    // A bias beyond a day is refused, not computed.
    const int wild = in.Int(-32768, 32767) * 65536;
    if (BuildClockFrame(signId, date, timeText, {wild, false}).ok() != (wild == 0))
        Broken("bias beyond a day");

    sign::SignDecoder decoder;
    long long now = 0;
    for (const std::string& frame : {clock, zone.ok() ? *zone : std::string(), message, reset})
        for (char c : frame) decoder.Feed(static_cast<std::uint8_t>(c), now++);
    now += sign::SignDecoder::kIdleFlushMs;
    decoder.Flush(now);
    const auto frames = decoder.TakeFrames();
    if (frames.size() < 4) Broken("frames lost");
    if (frames[0].kind != sign::FrameKind::Clock || frames[0].signId != signId ||
        frames[0].checksumOk != true)
        Broken("clock frame");
    const std::size_t m = zone.ok() ? 2 : 1;
    if (zone.ok() && (frames[1].kind != sign::FrameKind::Zone || frames[1].checksumOk != true))
        Broken("zone frame");
    // A body holding "<E>" right after a byte equal to its checksum so far ends there: the line
    // has no escaping. What arrives is then a clean prefix of the body.
    const std::string body = MessageBody(text);
    if (frames[m].kind != sign::FrameKind::Message || frames[m].checksumOk != true ||
        frames[m].signId != signId ||
        body.compare(0, frames[m].message.body.size(), frames[m].message.body) != 0)
        Broken("message frame");
    if (frames[m].message.body.size() == body.size() &&
        (frames.size() != m + 2 || frames[m + 1].kind != sign::FrameKind::Reset ||
         frames[m + 1].newId != newId))
        Broken("reset frame");
    return 0;
}
