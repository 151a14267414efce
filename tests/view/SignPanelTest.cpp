#include "view/SignPanel.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QTest>

#include "support/Formats.h"

#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "sign/Pty.h"
#include "sign/SignDecoder.h"
#include "view/SignViewWindow.h"
#include "zone/ZoneFrame.h"

namespace meridial::view {
namespace {

using namespace meridial::sign;

// 12:00:00 UTC on Tuesday 1 June 2010 given to a sign in UTC+8 with 12-hour time, month letters
// and DD-MM-YY, and "HELLO" at the fastest speed.
std::string Transfer() {
    return BuildClockFrame(0, {2010, 6, 1}, "12:00:00", {0, false}).value() +
           BuildZoneFrame(0, 28, {"2010", 0, 0, 0}, {"2010", 0, 0, 0}, testing::Formats(1, 0, 2))
               .value() +
           BuildMessageFrame(0, 4, "HELLO").value();
}

SignState StateAtZero() {
    SignDecoder decoder;
    for (char c : Transfer()) decoder.Feed(static_cast<std::uint8_t>(c), 0);
    SignState state;
    for (const auto& f : decoder.TakeFrames()) state.Apply(f, 0);
    return state;
}

struct PictureRow {
    const char* name;
    int width, height;
};

class SignPicture : public ::testing::TestWithParam<PictureRow> {};

// The picture's dots, sampled at each dot's centre, against the three lines written out: the
// clock three seconds on, the date with its weekday, and the message 120 columns into its cycle
// of 80 + 29 columns, so at column 69.
TEST_P(SignPicture, ShowsTheThreeLinesForAFixedClock) {
    SignPanel panel;
    panel.SetClock([] { return 3000LL; });
    panel.ShowState(StateAtZero());
    panel.resize(GetParam().width, GetParam().height);
    const QImage picture = panel.grab().toImage();

    const std::array<DotRows, 3> expected = {CentredOnLine(RenderText("8:00:03 PM")),
                                             CentredOnLine(RenderText("TUE 01-JUN-10")),
                                             PlaceOnLine(RenderText("HELLO"), 69)};
    const DotGeometry g = panel.Geometry();
    int lit = 0;
    for (int line = 0; line < kLineCount; ++line)
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < kPanelColumns; ++column) {
                const QPoint centre(g.left + column * g.pitch + g.pitch / 2,
                                    g.top + PanelRow(line, row) * g.pitch + g.pitch / 2);
                const bool on = expected[static_cast<std::size_t>(line)].Lit(column, row);
                lit += on;
                ASSERT_EQ(picture.pixelColor(centre),
                          on ? SignPanel::LitColour() : SignPanel::DarkColour())
                    << "line " << line << " row " << row << " column " << column;
            }
    EXPECT_GT(lit, 100);
    // Outside the panel the sign is black.
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black));
}

INSTANTIATE_TEST_SUITE_P(SignPanel, SignPicture,
                         ::testing::Values(PictureRow{"Large", 820, 270},
                                           PictureRow{"Small", 164, 54},
                                           PictureRow{"WideAndOddSized", 1333, 301}),
                         [](const auto& info) { return std::string(info.param.name); });

// The graphical sign on its own pseudo-terminal: it decodes a transfer, shows it, lists the
// frames newest first and answers in the mode chosen while it runs.
TEST(SignViewWindow, ServesALineAndAnswersInTheChosenMode) {
    Result<PseudoTerminal> pty = OpenPseudoTerminal();
    if (!pty) GTEST_SKIP() << pty.error();
    const int program = ::open(pty->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(program, 0);
    MakeRaw(program);
    SignViewWindow window(pty->fd, QString::fromStdString(pty->path), {});
    window.show();

    auto sendAndRead = [&](const std::string& bytes) {
        EXPECT_EQ(::write(program, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        std::string reply;
        // Both answers end in "ACK"; a moment more shows whether anything else follows.
        for (int i = 0; i < 100 && !reply.ends_with("ACK"); ++i) {
            QTest::qWait(20);
            char buffer[16];
            const ssize_t n = ::read(program, buffer, sizeof buffer);
            if (n > 0) reply.append(buffer, static_cast<std::size_t>(n));
        }
        QTest::qWait(100);
        char buffer[16];
        const ssize_t n = ::read(program, buffer, sizeof buffer);
        if (n > 0) reply.append(buffer, static_cast<std::size_t>(n));
        return reply;
    };
    EXPECT_EQ(sendAndRead(Transfer()), "ACK");
    auto* frames = window.findChild<QListWidget*>(QStringLiteral("Frames"));
    ASSERT_EQ(frames->count(), 3);
    EXPECT_TRUE(frames->item(0)->text().startsWith(QStringLiteral("message")))
        << frames->item(0)->text().toStdString();
    EXPECT_TRUE(frames->item(2)->text().startsWith(QStringLiteral("clock")));
    EXPECT_EQ(window.Panel()->State().Message(), "HELLO");

    auto* reply = window.findChild<QComboBox*>(QStringLiteral("ReplyMode"));
    reply->setCurrentIndex(reply->findText(QStringLiteral("nak")));
    emit reply->activated(reply->currentIndex());
    EXPECT_EQ(sendAndRead(Transfer()), "NACK");
    EXPECT_EQ(frames->count(), 6);

    ::close(program);
    ClosePseudoTerminal(pty.value());
}

}  // namespace
}  // namespace meridial::view
