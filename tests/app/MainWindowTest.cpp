#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "link/TSetCom.h"
#include "message/MessageFrame.h"
#include "service/TSetID.h"
#include "support/FakeSignLink.h"
#include "support/RecordingMessageBoxes.h"
#include "ui/ProgramSettings.h"

namespace meridial {
namespace {

using testing::FakeSignLink;
using testing::RecordingMessageBoxes;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { Create(); }

    void Create(const QByteArray& settingsText = {}) {
        if (!settingsText.isEmpty()) {
            QFile file(dir.filePath(QStringLiteral("meridial.INI")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(settingsText);
        }
        settings = std::make_unique<ProgramSettings>(
            PortSettings(dir.filePath(QStringLiteral("meridial.INI"))));
        form = std::make_unique<TForm1>(link, *settings);
        setCom = std::make_unique<TSetCom>(*settings, form.get());
        about = std::make_unique<TAboutBox>(form.get());
        setId = std::make_unique<TSetID>(link, *settings, form.get());
        form->SetWindows(setCom.get(), about.get(), setId.get());
        form->show();
    }
    void TearDown() override {
        setId.reset();
        about.reset();
        setCom.reset();
        form.reset();
        settings.reset();
    }

    template <typename T>
    T* Child(const char* name) const {
        T* child = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTextEdit* Editor() const { return Child<QTextEdit>("RichEdit1"); }
    QString Panel(const char* name) const { return Child<QLabel>(name)->text(); }
    void Transfer() { QTest::mouseClick(Child<QPushButton>("Button1"), Qt::LeftButton); }

    QTemporaryDir dir;
    FakeSignLink link;
    RecordingMessageBoxes boxes;
    std::unique_ptr<ProgramSettings> settings;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TSetCom> setCom;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<TSetID> setId;
};

TEST_F(MainWindow, OpensWithItsInitialValues) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Meridial"));
    auto* ids = Child<QComboBox>("ComboBox1");
    ASSERT_EQ(ids->count(), 100);
    EXPECT_EQ(ids->itemText(0), QStringLiteral("00"));
    EXPECT_EQ(ids->itemText(7), QStringLiteral("07"));
    EXPECT_EQ(ids->itemText(99), QStringLiteral("99"));
    EXPECT_EQ(ids->currentIndex(), 0);
    auto* speed = Child<QSlider>("TrackBar1");
    EXPECT_EQ(speed->minimum(), 0);
    EXPECT_EQ(speed->maximum(), 4);
    EXPECT_EQ(speed->value(), 2);
    EXPECT_EQ(Child<QComboBox>("ComboBox2")->currentText(), QStringLiteral("24 Hour"));
    EXPECT_EQ(Child<QComboBox>("ComboBox3")->currentText(), QStringLiteral("ALPHABET"));
    EXPECT_EQ(Child<QComboBox>("ComboBox4")->currentText(), QStringLiteral("MM-DD-YY"));
    for (const char* year : {"ComboBox20", "ComboBox21"}) {
        auto* list = Child<QComboBox>(year);
        EXPECT_EQ(list->count(), 100);
        EXPECT_EQ(list->currentText(), QString::number(QDate::currentDate().year()));
    }
    for (const char* month : {"ComboBox15", "ComboBox17"}) {
        auto* list = Child<QComboBox>(month);
        EXPECT_EQ(list->count(), 13);
        EXPECT_EQ(list->itemText(9), QStringLiteral("Sept."));
        EXPECT_EQ(list->itemText(12), QStringLiteral("Dec"));
        EXPECT_EQ(list->currentIndex(), 0);
    }
    for (const char* day : {"ComboBox16", "ComboBox18"}) {
        EXPECT_EQ(Child<QComboBox>(day)->count(), 32);
        EXPECT_EQ(Child<QComboBox>(day)->currentIndex(), 0);
    }
    EXPECT_EQ(Child<QComboBox>("ComboBox12")->count(), 40);
    EXPECT_TRUE(Child<QComboBox>("ComboBox12")->toolTip().isEmpty());
    EXPECT_TRUE(Panel("StatusPanel1").isEmpty());
    EXPECT_TRUE(Panel("StatusPanel2").isEmpty());
    EXPECT_EQ(Child<QMenu>("SetCom1")->title(), QStringLiteral("Set Com            "));
    EXPECT_EQ(Child<QMenu>("Help1")->title(), QStringLiteral("Help         "));
    EXPECT_FALSE(Child<QMenu>("SetCom1")->icon().isNull());
    EXPECT_EQ(
        about->findChild<QLabel*>(QStringLiteral("Version"))->text(),
        QStringLiteral("Version 4.0 \n For Meridial Module. \n3 lines (Time,Date,Info) Module"));
    EXPECT_EQ(setId->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->count(), 255);
    EXPECT_EQ(setId->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->itemText(9),
              QStringLiteral("0A"));
}

TEST(MainWindowZone, PreselectedFromThePcsZone) {
    RecordingMessageBoxes boxes;
    FakeSignLink link;
    const QByteArray old = qgetenv("TZ");
    for (auto [tz, row] : {std::pair{"Asia/Kathmandu", 24},
                           {"Asia/Shanghai", 28},
                           {"UTC", 15},
                           {"<-0230>2:30", 15},
                           {"America/New_York", 8}}) {
        qputenv("TZ", tz);
        ProgramSettings settings{PortSettings(QStringLiteral("/nonexistent/meridial.INI"))};
        TForm1 form(link, settings);
        EXPECT_EQ(form.findChild<QComboBox*>(QStringLiteral("ComboBox12"))->currentIndex(), row)
            << tz;
    }
    qputenv("TZ", old);
}

TEST_F(MainWindow, EveryActivationReseedsTheClockFromThePc) {
    auto* time = Child<QLineEdit>("MaskEdit1");
    time->setText(QStringLiteral("01:02:03"));
    QApplication::setActiveWindow(setCom.get());
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(form->isActiveWindow());
    const QTime shown = QTime::fromString(time->text(), QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(shown.isValid()) << time->text().toStdString();
    const int apart = std::abs(shown.secsTo(QTime::currentTime()));
    EXPECT_TRUE(apart <= 2 || apart >= 86400 - 2) << apart;  // also just around midnight
    EXPECT_TRUE(form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
}

TEST_F(MainWindow, EnterIsDiscardedEverywhereInTheWindow) {
    Editor()->setFocus();
    QTest::keyClicks(Editor(), QStringLiteral("AB"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    QTest::keyClick(Editor(), Qt::Key_Enter);
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("AB"));
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("2"));
    QTest::keyClick(Child<QPushButton>("Button1"), Qt::Key_Return);
    EXPECT_EQ(link.OpenCount(), 0);
}

TEST_F(MainWindow, CtrlF9OpensTheServiceDialog) {
    QTest::keyClick(Editor(), Qt::Key_F9);
    EXPECT_FALSE(setId->isVisible());
    QTest::keyClick(Child<QComboBox>("ComboBox1"), Qt::Key_F9, Qt::ControlModifier);
    EXPECT_TRUE(setId->isVisible());
    setId->hide();
    QTest::keyClick(Editor(), Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(setId->isVisible());
}

TEST_F(MainWindow, TypingStopsAtOneHundredFiftyCharacters) {
    Editor()->setPlainText(QString(149, QLatin1Char('x')));
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("149"));
    EXPECT_TRUE(boxes.boxes.isEmpty());
    QTest::keyClick(Editor(), Qt::Key_Y);
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("150"));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(" Max length is 150 chars ")});
    QTest::keyClick(Editor(), Qt::Key_Z);
    EXPECT_EQ(Editor()->toPlainText().size(), 150);
    EXPECT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes.last().buttons, QMessageBox::Yes);
}

TEST_F(MainWindow, PastedTextIsKeptWholeAndCountsLineBreaksAsTwo) {
    Editor()->setPlainText(QString(160, QLatin1Char('x')));
    EXPECT_EQ(boxes.boxes.size(), 1);
    Editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("159"));
    EXPECT_EQ(boxes.boxes.size(), 2);
    Editor()->setPlainText(QStringLiteral("AB\nCD"));
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("6"));
}

TEST_F(MainWindow, TransferSendsThreeFramesAndReportsSuccess) {
    link.ReplyWith("ACK");
    Editor()->setPlainText(QStringLiteral("HELLO"));
    Child<QComboBox>("ComboBox1")->setCurrentIndex(1);
    std::vector<int> maxima;
    auto* progress = Child<QProgressBar>("ProgressBar1");
    QObject::connect(progress, &QProgressBar::valueChanged,
                     [&](int) { maxima.push_back(progress->maximum()); });
    Transfer();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("         Transmission OK.          ")});
    EXPECT_EQ(boxes.boxes[0].icon, MessageBoxes::Icon::Information);
    const std::string written = link.WrittenBytes();
    ASSERT_EQ(written.size(), 21u + 26u + 19u);
    EXPECT_EQ(written.substr(0, 10), "<ID01><SS>");
    EXPECT_EQ(written.substr(21, 10), "<ID01><ST>");
    EXPECT_EQ(written.substr(47), BuildMessageFrame(1, 2, "HELLO").value());
    EXPECT_TRUE(Panel("StatusPanel1").isEmpty());
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(progress->maximum(), 19);
    EXPECT_TRUE(Child<QPushButton>("Button1")->isEnabled());
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(MainWindow, UnansweredTransferShowsTheErrorAndTheStatus) {
    Editor()->setPlainText(QStringLiteral("HELLO"));
    Transfer();
    EXPECT_EQ(Panel("StatusPanel1"), QStringLiteral("Sending Date&Time Error"));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("        Transmission Error.       ")});
    EXPECT_EQ(boxes.boxes[0].icon, MessageBoxes::Icon::Error);
    // The box's details say why, for the engineer on the phone.
    EXPECT_TRUE(boxes.boxes[0].details.startsWith(QStringLiteral("the sign stayed silent")))
        << boxes.boxes[0].details.toStdString();
    EXPECT_TRUE(Child<QPushButton>("Button1")->isEnabled());
    // The next press clears the status first.
    link.FailOpenWith(OpenFailure::Busy);
    Transfer();
    EXPECT_TRUE(Panel("StatusPanel1").isEmpty());
    EXPECT_EQ(boxes.Texts().last(), QStringLiteral("Open Com Error"));
}

TEST_F(MainWindow, EmptyOrUnencodableMessageOpensNoPort) {
    Transfer();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(" No message to transfer! ")});
    Editor()->setPlainText(QStringLiteral("Price: 5 \u20ac \u4f60"));  // CP1252 has the euro only
    Transfer();
    EXPECT_TRUE(boxes.Texts().last().contains(QStringLiteral("U+4F60")))
        << boxes.Texts().last().toStdString();
    EXPECT_EQ(link.OpenCount(), 0);
    EXPECT_TRUE(Child<QPushButton>("Button1")->isEnabled());
}

TEST_F(MainWindow, TransferUsesTheRememberedPortAndCodePage) {
    TearDown();
    Create("[Sign]\ncomport=4\ncodepage=936\n");
    link.ReplyWith("ACK");
    Editor()->setPlainText(QStringLiteral("\u4f60\u597d"));
    Transfer();
    EXPECT_EQ(link.LastPortNumber(), 4);
    EXPECT_TRUE(link.WrittenBytes().ends_with(std::string("\xC4\xE3\xBA\xC3") + '\x5E' + "<E>"));
}

TEST_F(MainWindow, UnbuildableZoneFrameReleasesThePortAndTheButton) {
    auto* startDay = Child<QComboBox>("ComboBox16");
    auto* startMonth = Child<QComboBox>("ComboBox15");
    startMonth->setCurrentIndex(1);
    emit startMonth->activated(1);
    startDay->setCurrentIndex(31);
    startMonth->setCurrentIndex(4);  // "Apr.": day 31 is gone
    emit startMonth->activated(4);
    ASSERT_EQ(startDay->currentIndex(), -1);
    Editor()->setPlainText(QStringLiteral("HELLO"));
    Transfer();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Invalid argument to date encode")});
    EXPECT_EQ(link.WrittenBytes().size(), 21u);  // the date-and-time frame only
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(Child<QPushButton>("Button1")->isEnabled());
}

TEST_F(MainWindow, ComPortDialogStoresTheChoice) {
    auto* list = setCom->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    EXPECT_EQ(list->currentText(), QStringLiteral("COM1"));
    EXPECT_FALSE(QFile::exists(settings->File().Path()));
    QTest::keyClicks(list, QStringLiteral("COM3"));  // typing picks nothing
    EXPECT_EQ(list->currentIndex(), 0);
    setCom->open();
    list->setCurrentIndex(3);
    QTest::mouseClick(setCom->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    EXPECT_FALSE(setCom->isVisible());
    EXPECT_EQ(settings->PortNumber(), 4);
    EXPECT_EQ(PortSettings(settings->File().Path()).ReadPortNumber(), 4);

    setCom->open();
    list->setCurrentIndex(6);
    QTest::mouseClick(setCom->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    EXPECT_EQ(settings->PortNumber(), 4);
    EXPECT_EQ(PortSettings(settings->File().Path()).ReadPortNumber(), 4);
    EXPECT_EQ(list->currentIndex(), 6);  // shown again next time
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST(ComPortDialog, UnwritableFileKeepsTheDialogOpenAndNamesThePath) {
    RecordingMessageBoxes boxes;
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ProgramSettings settings{PortSettings(blocker.fileName() + QStringLiteral("/meridial.INI"))};
    TSetCom dialog(settings);
    dialog.open();
    dialog.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(2);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(settings.PortNumber(), 3);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("Unable to write to %1/meridial.INI").arg(blocker.fileName()));
}

TEST_F(MainWindow, ServiceDialogResetsTheIdAfterConfirmation) {
    auto* list = setId->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    auto* ok = setId->findChild<QPushButton*>(QStringLiteral("OK"));
    setId->show();
    list->setCurrentIndex(9);
    boxes.answer = QMessageBox::No;
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(link.OpenCount(), 0);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("     Confirm to Reset ID ?     ")});
    EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);

    boxes.answer = QMessageBox::Yes;
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(link.WrittenBytes(), "<ID><0A><E>");
    EXPECT_TRUE(setId->isVisible());
    EXPECT_FALSE(link.IsOpen());

    link.FailOpenWith(OpenFailure::Missing);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(boxes.Texts().last(), QStringLiteral("Open Com Error"));
    EXPECT_EQ(boxes.boxes.last().icon, MessageBoxes::Icon::Plain);
    EXPECT_EQ(boxes.boxes.last().buttons, QMessageBox::Ok);

    QTest::keyClicks(list, QStringLiteral("FF"));
    EXPECT_EQ(list->currentIndex(), 9);
    QTest::mouseClick(setId->findChild<QPushButton*>(QStringLiteral("Cancel")), Qt::LeftButton);
    EXPECT_FALSE(setId->isVisible());
    QTest::keyClick(Editor(), Qt::Key_F9, Qt::ControlModifier);
    EXPECT_EQ(list->currentText(), QStringLiteral("0A"));
}

}  // namespace
}  // namespace meridial
