// The window's Transfer on the real serial link against the virtual sign.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "qt/TAboutBox.h"
#include "qt/TForm1.h"
#include "link/EventLoopWaiter.h"
#include "link/LinkFactory.h"
#include "qt/TSetCom.h"
#include "qt/TSetID.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualSign.h"
#include "link/ProgramSettings.h"

namespace meridial {
namespace {

using testing::RecordingMessageBoxes;
using testing::VirtualSign;

class SerialTransfer : public ::testing::Test {
protected:
    void Start(const QStringList& signArgs = {}) {
        sign = std::make_unique<VirtualSign>(signArgs);
        ASSERT_TRUE(sign->ok());
        const QString device = sign->LinkPath();
        link = std::make_unique<PortLink>(
            [device](int) { return ParseLinkTarget(device.toStdString()); }, waiter);
        settings =
            std::make_unique<ProgramSettings>(PortSettings(dir.filePath(QStringLiteral("m.ini"))));
        form = std::make_unique<TForm1>(*link, *settings);
        setCom = std::make_unique<TSetCom>(*settings, form.get());
        setId = std::make_unique<TSetID>(*link, *settings, form.get());
        form->SetWindows(setCom.get(), nullptr, setId.get());
        form->show();
        form->FormActivate();
        form->findChild<QTextEdit*>(QStringLiteral("RichEdit1"))
            ->setPlainText(QStringLiteral("HELLO"));
    }
    void TearDown() override {
        setId.reset();
        setCom.reset();
        form.reset();
        settings.reset();
        link.reset();
    }
    void PressTransfer() {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    }

    QTemporaryDir dir;
    RecordingMessageBoxes boxes;
    std::unique_ptr<VirtualSign> sign;
    EventLoopWaiter waiter;
    std::unique_ptr<PortLink> link;
    std::unique_ptr<ProgramSettings> settings;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TSetCom> setCom;
    std::unique_ptr<TSetID> setId;
};

TEST_F(SerialTransfer, WindowStaysAliveAndTheServiceDialogCannotStealThePort) {
    Start();
    auto* time = form->findChild<QLineEdit*>(QStringLiteral("MaskEdit1"));
    const QString before = time->text();
    bool pressedDuring = false;
    QTimer::singleShot(400, [&] {
        pressedDuring = form->TransferRunning();
        QTest::mouseClick(setId->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    PressTransfer();
    EXPECT_TRUE(pressedDuring);
    EXPECT_EQ(boxes.Texts(), (QStringList{QStringLiteral("Open Com Error"),
                                          QStringLiteral("         Transmission OK.          ")}));
    EXPECT_NE(time->text(), before) << "the clock stopped during the transfer";
    EXPECT_FALSE(link->IsOpen());
    const auto frames = sign->Frames(3);
    ASSERT_EQ(frames.size(), 3);
    for (const auto& frame : frames)
        EXPECT_TRUE(frame[QStringLiteral("faults")].toArray().isEmpty());
}

TEST_F(SerialTransfer, EventLoopKeepsRunningWhileWaitingForASilentSign) {
    Start({QStringLiteral("--reply"), QStringLiteral("silent")});
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
    probe.start(5);
    gap.start();
    PressTransfer();
    probe.stop();
    EXPECT_EQ(boxes.Texts().last(), QStringLiteral("        Transmission Error.       "));
    // A blocking read would hold the loop for its whole time-out.
    EXPECT_LT(longest, 500);
}

TEST_F(SerialTransfer, ClosingTheWindowDuringATransferClosesThePortFirst) {
    Start();
    QTimer::singleShot(300, [&] { form->close(); });
    QElapsedTimer clock;
    clock.start();
    PressTransfer();
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(link->IsOpen());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

}  // namespace
}  // namespace meridial
