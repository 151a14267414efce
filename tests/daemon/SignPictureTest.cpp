// The picture of a sign against the virtual sign's own reading of the same frames.

#include "daemon/SignPicture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QXmlStreamReader>

#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "sign/SignFace.h"
#include "sign/SignSession.h"
#include "support/Formats.h"
#include "zone/ZoneFrame.h"

namespace meridial::daemon {
namespace {

using namespace std::chrono;
using sign::RenderText;
using Grid = std::array<std::string, sign::kPanelRows>;

// When the frames were sent: the time their clock frame carries, 2010-06-01 12:00:00 UTC.
const schedule::Instant kSent = sys_days{2010y / 6 / 1} + 12h;

struct Row {
    const char* name;
    int zoneRow, speed;
    DisplayFormats formats;
    std::string message;
    seconds elapsed;
    std::array<std::string, 3> lines;  // what the sign shows then
    int messageColumn;                 // where the message's first column stands
};

// clang-format off
const Row kRows[] = {
    // Zone UTC-5: the clock shows 07:01, not noon; the message has scrolled 2600 columns at A.
    {"WrongZone", 8, 4, testing::Formats(0, 1, 1), "HI", 65s, {"07:01:05", "10-06-01", "HI"},
     80 - 2600 % 91},
    {"TwelveHour", 15, 2, testing::Formats(1, 0, 0), "", 3h + 5s,
     {"3:00:05 PM", "TUE JUN-01-10", ""}, 0},
    {"MidScroll", 23, 2, testing::Formats(0, 1, 2), "WELCOME", 2s,
     {"17:30:02", "01-06-10", "WELCOME"}, 80 - 36},
};
// clang-format on

std::array<std::string, 3> Frames(const Row& r) {
    const DstTransition none{"2010", 0, 0, 0};
    return {BuildClockFrame(0, {2010, 6, 1}, "12:00:00", {0, false}).value(),
            BuildZoneFrame(0, r.zoneRow, none, none, r.formats).value(),
            BuildMessageFrame(0, r.speed, r.message).value()};
}

SignState Acknowledged(const Row& r) {
    QStringList hex;
    for (const std::string& frame : Frames(r)) hex << QString::fromStdString(HexBytes(frame));
    SignState state;
    state.shown = Shown{"", 0, "own", hex[0], hex[1], hex[2], "/dev/pts/9", kSent};
    return state;
}

Grid Dark() {
    Grid grid;
    grid.fill(std::string(sign::kPanelColumns, '.'));
    return grid;
}

Grid Expected(const Row& r) {
    const sign::DotRows lines[] = {sign::CentredOnLine(RenderText(r.lines[0])),
                                   sign::CentredOnLine(RenderText(r.lines[1])),
                                   sign::PlaceOnLine(RenderText(r.message), r.messageColumn)};
    Grid grid = Dark();
    for (int line = 0; line < 3; ++line)
        for (int row = 0; row < sign::kGlyphRows; ++row)
            grid[size_t(sign::PanelRow(line, row))] = lines[line].rows[size_t(row)];
    return grid;
}

// The lit dots read back from the SVG (one circle each), its title, caption and lit colour.
struct Svg {
    Grid lit = Dark();
    QString title, caption, fill;
};

Svg ReadSvg(const Picture& picture) {
    Svg svg;
    QXmlStreamReader xml(picture.bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        const double x = a.value("cx").toDouble() - 1, y = a.value("cy").toDouble() - 1;
        if (xml.name() == u"circle" && x > 0) svg.lit.at(size_t(y)).at(size_t(x)) = '#';
        if (xml.name() == u"g") svg.fill = a.value("fill").toString();
        if (xml.name() == u"title") svg.title = xml.readElementText();
        if (xml.name() == u"text") svg.caption = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return svg;
}

TEST(SignPicture, ShowsWhatTheVirtualSignShowsForTheSameFrames) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.name);
        sign::SignSession sign;
        for (const std::string& frame : Frames(r))
            sign.Feed(reinterpret_cast<const unsigned char*>(frame.data()), frame.size(), 0);
        sign.Advance(0);
        EXPECT_EQ(sign.State().Display(milliseconds(r.elapsed).count()), r.lines);

        const Svg svg = ReadSvg(DrawSignPicture(Acknowledged(r), kSent + r.elapsed, "svg"));
        EXPECT_EQ(svg.lit, Expected(r));
        for (const std::string& line : r.lines) EXPECT_TRUE(svg.title.contains(line.c_str()));
        EXPECT_EQ(svg.fill + svg.caption, "#ffb000");
    }
}

// Checks the PNG's chunk CRCs, inflates it with Python's zlib and prints the dots whose centre
// has the colour given.
const char* kReadPng = R"(
import struct, sys, zlib
data, i, chunks = sys.stdin.buffer.read(), 8, {}
assert data[:8] == b'\x89PNG\r\n\x1a\n'
while i < len(data):
    n, kind = struct.unpack('>I4s', data[i:i + 8]); body = data[i + 8:i + 8 + n]
    assert struct.unpack('>I', data[i + 8 + n:i + 12 + n])[0] == zlib.crc32(kind + body), kind
    chunks[kind] = chunks.get(kind, b'') + body; i += 12 + n
w, h, depth, kind = struct.unpack('>IIBB', chunks[b'IHDR'][:10]); assert (depth, kind) == (8, 3)
raw, pal, p = zlib.decompress(chunks[b'IDAT']), chunks[b'PLTE'], w // 82
assert len(raw) == h * (w + 1) and all(raw[y * (w + 1)] == 0 for y in range(h))
for r in range(25):
    px = lambda c: raw[(p + r * p + p // 2) * (w + 1) + 1 + p + c * p + p // 2]
    print(''.join('#' if pal[3 * px(c):3 * px(c) + 3].hex() == sys.argv[1] else '.' for c in range(80)))
)";

TEST(SignPicture, UnansweredIsDimmedWithItsAgeAndNothingAcknowledgedIsDark) {
    SignState failing = Acknowledged(kRows[0]);
    const schedule::Instant now = kSent + kRows[0].elapsed;
    failing.failures = 2;
    failing.lastAcknowledged = now - 200s;
    const Svg dim = ReadSvg(DrawSignPicture(failing, now, "svg"));
    EXPECT_EQ(dim.lit, Expected(kRows[0]));
    EXPECT_EQ(dim.fill + dim.caption, "#553b00last acknowledged 3 min ago");  // a third as bright
    const Svg dark = ReadSvg(DrawSignPicture(SignState{}, now, "svg"));
    EXPECT_EQ(dark.lit, Dark());
    EXPECT_EQ(dark.caption, "nothing acknowledged yet");

    QProcess python;
    python.start("/usr/bin/python3", {"-c", kReadPng, "553b00"});
    python.write(DrawSignPicture(failing, now, "png").bytes);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(10000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    std::string lit;
    for (const std::string& row : dim.lit) lit += row + "\n";
    EXPECT_EQ(python.readAllStandardOutput().toStdString(), lit);
}

}  // namespace
}  // namespace meridial::daemon
