#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>

#include "qt/TAboutBox.h"
#include "qt/TForm1.h"
#include "link/ProgramSettings.h"
#include "qt/TSetCom.h"
#include "message/MessageFrame.h"
#include "qt/TSetID.h"
#include "support/FakeSignLink.h"
#include "support/RecordingMessageBoxes.h"
#include "qt/OuterSize.h"
#include "view/SignPanel.h"
#include "view/SignPreview.h"

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
    QLineEdit* Time() const { return Child<QLineEdit>("MaskEdit1"); }
    bool ShowsThePcsTime() const {
        const QTime shown = QTime::fromString(Time()->text(), QStringLiteral("HH:mm:ss"));
        if (!shown.isValid()) return false;
        const int apart = std::abs(shown.secsTo(QTime::currentTime()));
        return apart <= 2 || apart >= 86400 - 2;  // also just around midnight
    }

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

    // Only text is pasted: a picture would stay as a character no one sees.
    QImage picture(4, 4, QImage::Format_RGB32);
    for (const bool withText : {false, true}) {
        Editor()->clear();
        auto* data = new QMimeData;
        data->setImageData(picture);
        if (withText) data->setHtml(QStringLiteral("A<img src=\"x.png\">B"));
        if (withText) data->setText(QStringLiteral("A\uFFFCB"));
        QApplication::clipboard()->setMimeData(data);
        Child<QAction>("Paste1")->trigger();
        EXPECT_EQ(Editor()->toPlainText(), withText ? QStringLiteral("AB") : QString());
    }
}

TEST_F(MainWindow, MarkersInTheMessageAreNotedWithoutABox) {
    for (const auto& [text, marker] :
         {std::pair{"HELLO", ""}, std::pair{"A<E>B", "\"<E>\""}, std::pair{"A<ID07>B", "\"<ID\""},
          std::pair{"A<E\n>B", "\"<E>\""}, std::pair{"<e> <id", ""}}) {
        Editor()->setPlainText(QString::fromUtf8(text));
        const QString tip = Child<QLabel>("StatusPanel2")->toolTip();
        EXPECT_EQ(tip.isEmpty(), *marker == '\0') << text;
        EXPECT_TRUE(tip.contains(QLatin1String(marker))) << text;
    }
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_TRUE(Panel("StatusPanel1").isEmpty());
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

TEST_F(MainWindow, SignPreviewShowsWhatATransferWouldLeaveOnTheSignAndSendsNothing) {
    QAction* action = form->findChild<QAction*>(QStringLiteral("SignPreview1"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Sign Preview..."));
    action->trigger();
    auto* preview = form->findChild<view::SignPreview*>(QStringLiteral("SignPreview"));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(preview)->role(), QAccessible::Window);
    // An empty editor is refused as the Transfer refuses it.
    EXPECT_TRUE(Child<QLabel>("PreviewProblem")->isVisible());

    Editor()->setPlainText(QStringLiteral("HELLO"));
    Child<QSlider>("TrackBar1")->setValue(4);
    Child<QComboBox>("ComboBox2")->setCurrentIndex(1);  // 12 Hour
    preview->Refresh();
    EXPECT_FALSE(Child<QLabel>("PreviewProblem")->isVisible())
        << Child<QLabel>("PreviewProblem")->text().toStdString();
    const sign::SignState& state = preview->Panel()->State();
    EXPECT_EQ(state.Message(), "HELLO");
    EXPECT_EQ(state.Speed(), 'A');
    const auto lines = state.Display(preview->Panel()->NowMs());
    EXPECT_TRUE(lines[0].ends_with(" AM") || lines[0].ends_with(" PM")) << lines[0];

    // The message keeps its place in the scroll while only the clock moves on.
    const long long since = state.MessageSinceMs();
    QTest::qWait(300);
    preview->Refresh();
    EXPECT_EQ(preview->Panel()->State().MessageSinceMs(), since);
    Child<QSlider>("TrackBar1")->setValue(0);
    preview->Refresh();
    EXPECT_EQ(preview->Panel()->State().Speed(), 'E');

    EXPECT_TRUE(link.Writes().empty());
    EXPECT_TRUE(boxes.boxes.isEmpty()) << boxes.Texts().join(u'|').toStdString();
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

TEST(ComPortDialog, TooltipNamesTheLinesNotUsed) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("meridial.INI")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[SIGN\ncomport=6\n");
    file.close();
    ProgramSettings settings{PortSettings(file.fileName())};
    TSetCom dialog(settings);
    dialog.show();
    EXPECT_EQ(dialog.toolTip(),
              QStringLiteral("Settings file: %1\nNot used:\nline 1: '[SIGN' has no closing ']'; "
                             "the entries under it are not used")
                  .arg(file.fileName()));
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

TEST_F(MainWindow, FirstShowingSeedsTheClockWithoutAnActivation) {
    TearDown();
    Create();  // shown; the platform's activation is still queued
    EXPECT_TRUE(ShowsThePcsTime()) << Time()->text().toStdString();
    EXPECT_TRUE(form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
}

// Coming back from the program's own windows sets the clock again; from another program it
// keeps the operator's correction.
TEST_F(MainWindow, ActivationSeedsOnlyWhenComingBackFromTheProgramsWindows) {
    QMessageBox box;
    struct Row {
        const char* via;
        QWidget* window;  // nullptr: another application was active
        bool seeds;
    };
    const Row rows[] = {{"another application", nullptr, false},
                        {"SetCom", setCom.get(), true},
                        {"About", about.get(), true},
                        {"SetID", setId.get(), true},
                        {"a message box", &box, true}};
    QCoreApplication::processEvents();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.via);
        QApplication::setActiveWindow(form.get());
        Time()->setText(QStringLiteral("01:02:03"));
        QApplication::setActiveWindow(row.window);
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(form->isActiveWindow());
        if (row.seeds) {
            EXPECT_TRUE(ShowsThePcsTime()) << Time()->text().toStdString();
        } else {
            EXPECT_EQ(Time()->text(), QStringLiteral("01:02:03"));
        }
    }
}

// Space on "Transfer" sends again, whatever the last outcome; it never reaches "Cancel".
TEST_F(MainWindow, TransferKeepsTheFocusThroughTheSequence) {
    struct Row {
        const char* outcome;
        QString message;
        std::string reply;
        OpenFailure openFailure;
        int opensPerPress;
    };
    const Row rows[] = {
        {"acknowledged", QStringLiteral("HELLO"), "ACK", OpenFailure::None, 1},
        {"unanswered", QStringLiteral("HELLO"), "", OpenFailure::None, 1},
        {"port refused", QStringLiteral("HELLO"), "", OpenFailure::Busy, 0},
        {"empty message", QString(), "", OpenFailure::None, 0},
        {"unencodable message", QStringLiteral("\u4f60"), "", OpenFailure::None, 0},
        {"message longer than the sign takes", QString(kMaxMessageBodyBytes + 1, u'x'), "ACK",
         OpenFailure::None, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outcome);
        TearDown();
        Create();
        QApplication::setActiveWindow(form.get());
        link.FailOpenWith(row.openFailure);
        link.ReplyWith(row.reply + row.reply);
        Editor()->setPlainText(row.message);
        boxes.boxes.clear();
        const int opened = link.OpenCount();
        auto* transfer = Child<QPushButton>("Button1");
        auto* cancel = Child<QPushButton>("Button2");
        bool cancelFocused = false;
        QObject::connect(Child<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged,
                         [&] { cancelFocused |= cancel->hasFocus(); });
        transfer->setFocus(Qt::TabFocusReason);
        for (int press = 1; press <= 2; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            EXPECT_EQ(QApplication::focusWidget(), transfer) << press;
            EXPECT_EQ(boxes.boxes.size(), press);
        }
        EXPECT_FALSE(cancelFocused);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(link.OpenCount() - opened, 2 * row.opensPerPress);
    }
}

TEST_F(MainWindow, TabLeavesTheEditorAndAPastedTabIsSentAsItIs) {
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* focusGoesTo;  // nullptr: anywhere but the editor
    };
    const Row rows[] = {{Qt::Key_Tab, Qt::NoModifier, nullptr},
                        {Qt::Key_Backtab, Qt::ShiftModifier, "ComboBox1"},
                        {Qt::Key_Tab, Qt::ShiftModifier, "ComboBox1"}};
    QApplication::setActiveWindow(form.get());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        Editor()->setPlainText(QStringLiteral("AB"));
        Editor()->setFocus();
        QTest::keyClick(Editor(), row.key, row.modifiers);
        EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("AB"));
        EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("2"));
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_NE(QApplication::focusWidget(), Editor());
        if (row.focusGoesTo) {
            EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(row.focusGoesTo));
        }
    }

    Editor()->clear();
    QApplication::clipboard()->setText(QStringLiteral("A\tB"));
    Child<QAction>("Paste1")->trigger();
    EXPECT_EQ(Panel("StatusPanel2"), QStringLiteral("3"));
    link.ReplyWith("ACK");
    Transfer();
    EXPECT_TRUE(link.WrittenBytes().ends_with(BuildMessageFrame(0, 2, "A\tB").value()));
}

// Both lists take no typing, their drop-downs open or closed.
TEST_F(MainWindow, TypingIntoTheDialogsListsPicksNothing) {
    struct Row {
        const char* dialog;
        QDialog* window;
        const char* typed;
        bool open;
    };
    const Row rows[] = {{"SetCom", setCom.get(), "com5", true},
                        {"SetCom", setCom.get(), "com5", false},
                        {"SetID", setId.get(), "7f", true},
                        {"SetID", setId.get(), "7f", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.dialog) + (row.open ? " open" : " closed"));
        row.window->show();
        auto* list = row.window->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        list->setCurrentIndex(1);
        QWidget* target = list;
        if (row.open) {
            list->showPopup();
            ASSERT_TRUE(list->view()->isVisible());
            target = list->view();
        }
        QTest::keyClicks(target, QLatin1String(row.typed));
        if (row.open) QTest::keyClick(target, Qt::Key_Return);
        EXPECT_EQ(list->currentIndex(), 1);
        list->hidePopup();
        row.window->hide();
    }
}

TEST_F(MainWindow, DialogsHaveTheirOwnCaptionsAndOuterSizes) {
    struct Row {
        QWidget* window;
        const char* caption;
        QSize outer;  // frame included
    };
    const Row rows[] = {{form.get(), "Meridial", {765, 572}},
                        {setCom.get(), "SetCom", {307, 231}},
                        {setId.get(), "SetID", {336, 252}}};
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about->size(), QSize(299, 207));  // given as its client area
    // No display name: the platform would append it to every caption.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        row.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(row.window));
        EXPECT_EQ(row.window->windowTitle(), QLatin1String(row.caption));
        EXPECT_EQ(row.window->frameGeometry().size(), row.outer);
        EXPECT_TRUE(row.window->screen()->availableGeometry().contains(
            row.window->frameGeometry().topLeft()));
    }
}

TEST(OuterSizePlacement, CentresAndKeepsTheTitleBarOnTheScreen) {
    struct Row {
        const char* screen;
        QSize outer;
        QRect available;
        QRect expected;
    };
    const Row rows[] = {
        {"fits", {765, 572}, {0, 0, 1280, 1024}, {257, 226, 765, 572}},
        {"second screen", {307, 231}, {1280, 0, 1920, 1080}, {2086, 424, 307, 231}},
        {"scaled by 2 (1280x1024)", {765, 572}, {0, 0, 640, 512}, {0, 0, 640, 512}},
        {"below a top panel", {765, 572}, {0, 40, 800, 500}, {17, 40, 765, 500}},
        {"left of a dock", {765, 572}, {100, 0, 600, 1000}, {100, 214, 600, 572}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.screen);
        EXPECT_EQ(OuterSize::Place(row.outer, row.available), row.expected);
    }
}

// Controls that need more than the screen (a scaled desktop) scroll inside a window that fits.
TEST(OuterSizePlacement, CentralAreaScrollsOnlyWhenTheScreenIsTooSmall) {
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    for (const auto& [needed, scrolls] : {std::pair{QSize(200, 150), false},
                                          {QSize(screen.width() + 50, 100), true},
                                          {QSize(100, screen.height()), true}}) {
        QMainWindow window;
        auto* content = new QWidget;
        content->setMinimumSize(needed);
        window.setCentralWidget(content);
        OuterSize::ScrollWhenTooLarge(&window);
        EXPECT_EQ(qobject_cast<QScrollArea*>(window.centralWidget()) != nullptr, scrolls)
            << needed.width() << "x" << needed.height();
        EXPECT_EQ(content->window(), &window);  // the controls stay the window's own
        EXPECT_LE(window.minimumSizeHint().height(),
                  scrolls ? screen.height() : needed.height() + 50);
    }
}

TEST_F(MainWindow, ErrorBoxesCarryTheirButtonsAndDetails) {
    struct Row {
        const char* cause;
        std::function<void()> act;
        QString text;
        MessageBoxes::Icon icon;
        QMessageBox::StandardButtons buttons;
        QString details;
    };
    auto unbuildableZone = [&] {
        auto* startMonth = Child<QComboBox>("ComboBox15");
        startMonth->setCurrentIndex(2);
        Child<QComboBox>("ComboBox16")->setCurrentIndex(-1);  // no day: the date cannot be built
        Editor()->setPlainText(QStringLiteral("HELLO"));
        Transfer();
    };
    auto resetId = [&] {
        setId->show();
        QTest::mouseClick(setId->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    };
    const Row rows[] = {
        {"port refused",
         [&] {
             link.FailOpenWith(OpenFailure::Busy);
             Editor()->setPlainText(QStringLiteral("HELLO"));
             Transfer();
         },
         QStringLiteral("Open Com Error"), MessageBoxes::Icon::Error, QMessageBox::Yes,
         QStringLiteral("scripted failure\nanother program holds the port; close it and retry")},
        {"unanswered",
         [&] {
             Editor()->setPlainText(QStringLiteral("HELLO"));
             Transfer();
         },
         QStringLiteral("        Transmission Error.       "), MessageBoxes::Icon::Error,
         QMessageBox::Yes,
         QStringLiteral("the sign stayed silent for 3 reads of 1100 ms: check the cable, the "
                        "port and the Sign ID")},
        {"zone frame not buildable", unbuildableZone,
         QStringLiteral("Invalid argument to date encode"), MessageBoxes::Icon::Error,
         QMessageBox::Ok, QString()},
        {"message not encodable",
         [&] {
             Editor()->setPlainText(QStringLiteral("\u4f60"));
             Transfer();
         },
         QString(), MessageBoxes::Icon::Error, QMessageBox::Ok, QString()},
        {"a pasted megabyte",
         [&] {
             QApplication::clipboard()->setText(QString(1 << 20, u'x'));
             Child<QAction>("Paste1")->trigger();
             Transfer();
         },
         QStringLiteral("The message is 1048576 bytes once encoded; the sign takes at most 4082. "
                        "Nothing was sent."),
         MessageBoxes::Icon::Error, QMessageBox::Yes, QString()},
        {"service dialog, port refused",
         [&] {
             link.FailOpenWith(OpenFailure::Missing);
             resetId();
         },
         QStringLiteral("Open Com Error"), MessageBoxes::Icon::Plain, QMessageBox::Ok,
         QStringLiteral("scripted failure")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        TearDown();
        Create();
        link.FailOpenWith(OpenFailure::None);
        boxes.boxes.clear();
        row.act();
        ASSERT_FALSE(boxes.boxes.isEmpty());
        const RecordingMessageBoxes::Box& box = boxes.boxes.last();
        if (!row.text.isNull()) {
            EXPECT_EQ(box.text, row.text);
        }
        EXPECT_EQ(box.icon, row.icon);
        EXPECT_EQ(box.buttons, row.buttons);
        EXPECT_EQ(box.details, row.details);
    }
}

// Under a dark palette the controls with a fixed colour keep a ground that shows it; under a
// large desktop font the window keeps its own font and outer size.
TEST(MainWindowPalette, FixedColoursAndFontKeptUnderADarkPaletteAndALargeFont) {
    RecordingMessageBoxes boxes;
    FakeSignLink link;
    const QPalette old = QApplication::palette();
    QPalette dark(QColor(53, 53, 53));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    const QFont oldFont = QApplication::font();
    QApplication::setFont(QFont(oldFont.family(), 12));
    ProgramSettings settings{PortSettings(QStringLiteral("/nonexistent/meridial.INI"))};
    TForm1 form(link, settings);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.frameGeometry().size(), QSize(765, 572));
    auto* editor = form.findChild<QTextEdit*>(QStringLiteral("RichEdit1"));
    for (QWidget* control : form.findChildren<QWidget*>()) {
        if (control->window() != &form || control == editor || editor->isAncestorOf(control))
            continue;
        EXPECT_EQ(control->font().toString().section(u',', 0, 2), "MS Sans Serif,-1,11")
            << control->objectName().toStdString();
    }
    QApplication::setFont(oldFont);
    struct Row {
        const char* control;
        QPalette::ColorRole text;
        QPalette::ColorRole ground;
        QColor expectedGround;
    };
    const Row rows[] = {{"RichEdit1", QPalette::Text, QPalette::Base, Qt::white},
                        {"Label7", QPalette::WindowText, QPalette::Window, QColor(240, 238, 180)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control);
        auto* widget = form.findChild<QWidget*>(QLatin1String(row.control));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->palette().color(row.ground), row.expectedGround);
        EXPECT_LT(widget->palette().color(row.text).lightness(), 64);
    }
    QApplication::setPalette(old);
}

TEST_F(MainWindow, EveryInputIsNamedForScreenReaders) {
    struct Row {
        QWidget* window;
        const char* control;
        const char* name;
        bool labelled;  // a label names it (its buddy)
    };
    const Row rows[] = {
        {form.get(), "ComboBox1", "Time Sign ID", true},
        {form.get(), "RichEdit1", "Messages", true},
        {form.get(), "TrackBar1", "Move Speed", true},
        {form.get(), "DateTimePicker1", "Date", true},
        {form.get(), "MaskEdit1", "Time", true},
        {form.get(), "ComboBox2", "Time Format", true},
        {form.get(), "ComboBox3", "Date Format", true},
        {form.get(), "ComboBox4", "Date Order", true},
        {form.get(), "ComboBox12", "Country/Region", true},
        {form.get(), "ComboBox20", "DST Start Year", true},
        {form.get(), "ComboBox15", "DST Start Month", true},
        {form.get(), "ComboBox16", "DST Start Day", true},
        {form.get(), "CSpinEdit1", "DST Start Hour", false},
        {form.get(), "ComboBox21", "DST End Year", true},
        {form.get(), "ComboBox17", "DST End Month", true},
        {form.get(), "ComboBox18", "DST End Day", true},
        {form.get(), "CSpinEdit2", "DST End Hour", false},
        {form.get(), "GroupBox3", "Local Date and Time", false},
        {form.get(), "GroupBox4", "Set Time Zone and Daylight Saving Time", false},
        {form.get(), "StatusPanel1", "Transfer status", true},
        {form.get(), "StatusPanel2", "Message length", true},
        {form.get(), "ProgressBar1", "Transfer progress", false},
        {setCom.get(), "ComboBox1", "COM Port", true},
        {setId.get(), "ComboBox1", "Sign ID", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control);
        auto* widget = row.window->findChild<QWidget*>(QLatin1String(row.control));
        ASSERT_NE(widget, nullptr);
        const QString name = QLatin1String(row.name);
        // A status panel is announced by its content, named through its label.
        const bool panel = qobject_cast<QLabel*>(widget) != nullptr;
        if (!panel) {
            EXPECT_EQ(widget->accessibleName(), name);
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        // On Linux Qt names a list by its value and reaches its label through the relation.
        if (!qobject_cast<QComboBox*>(widget) && !panel) {
            EXPECT_EQ(accessible->text(QAccessible::Name), name);
        }
        if (!row.labelled) continue;
        QStringList labels;
        for (const auto& [label, relation] : accessible->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name).trimmed().remove(QLatin1Char(':'));
        EXPECT_TRUE(labels.contains(name)) << labels.join(QLatin1Char('|')).toStdString();
    }
}

// Without anything on the desktop to open a text file, the program shows the read-me itself.
TEST_F(MainWindow, ReadMeIsShownEvenWithoutADesktopLauncher) {
    struct Row {
        const char* desktop;
        bool launcher;
    };
    const Row rows[] = {{"with a launcher", true}, {"without a launcher", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.desktop);
        TearDown();
        Create();
        QTextBrowser launcher;  // stands in for the desktop's: it takes the file's address
        if (row.launcher)
            QDesktopServices::setUrlHandler(QStringLiteral("file"), &launcher, "setSource");
        Child<QAction>("ReadMe1")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        auto* window = form->findChild<QWidget*>(QStringLiteral("ReadMe"));
        if (row.launcher) {
            EXPECT_TRUE(
                launcher.source().toLocalFile().endsWith(QStringLiteral("meridialmanual.txt")));
            EXPECT_TRUE(window == nullptr || !window->isVisible());
            continue;
        }
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isWindow());
        auto* text = window->findChild<QPlainTextEdit*>();
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->isReadOnly());
        EXPECT_TRUE(text->toPlainText().startsWith(QStringLiteral("MERIDIAL")));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->role(), QAccessible::Window);
        QTest::keyClick(text, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
    }
}

}  // namespace
}  // namespace meridial
