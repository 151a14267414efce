#include "qt/TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "clock/PcZone.h"
#include "link/ProgramSettings.h"
#include "message/MessageFrame.h"
#include "message/TextEncoding.h"
#include "qt/DateTimeGroup.h"
#include "qt/OuterSize.h"
#include "qt/ReadMeWindow.h"
#include "qt/ScreenReaders.h"
#include "qt/TAboutBox.h"
#include "qt/TSetCom.h"
#include "qt/TSetID.h"
#include "qt/ZoneGroup.h"
#include "view/SignPreview.h"

namespace meridial {
namespace {

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// Captions drawn in a fixed dark colour carry their own light ground, so they stay readable
// when the desktop's palette is dark.
void CaptionColour(QGroupBox* group, const char* colour) {
    group->setStyleSheet(
        QStringLiteral("QGroupBox#%1::title { color: %2; background-color: rgb(240, 240, 240); }")
            .arg(group->objectName(), QLatin1String(colour)));
}

// The label names the control for screen readers too.
void LabelFor(QLabel* label, QWidget* control) {
    label->setBuddy(control);
    control->setAccessibleName(label->text().trimmed().remove(QLatin1Char(':')));
}

// The message is plain text: a pasted or dropped picture would stay in it as an object character
// no one sees, and rich text brings formatting the sign never shows.
class MessageEditor final : public QTextEdit {
public:
    using QTextEdit::QTextEdit;

    // Breaking a line inside a word costs the editor a pass over the rest of that word for
    // every line it lays out, so a long run without blanks (a pasted megabyte of data) takes
    // time by the square of its length. Text longer than the sign takes is never sent: it
    // breaks anywhere, in time proportional to its length.
    void FitWrapping(qsizetype length) {
        const QTextOption::WrapMode mode = length > kMaxMessageBodyBytes
                                               ? QTextOption::WrapAnywhere
                                               : QTextOption::WrapAtWordBoundaryOrAnywhere;
        if (wordWrapMode() != mode) setWordWrapMode(mode);
    }

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override { return source->hasText(); }
    void insertFromMimeData(const QMimeData* source) override {
        if (!source->hasText()) return;
        QString text = source->text();
        text.remove(QChar::ObjectReplacementCharacter);
        FitWrapping(document()->characterCount() + text.size());
        insertPlainText(text);
        ensureCursorVisible();
    }
};

}  // namespace

TForm1::TForm1(SignLink& link, const ProgramSettings& settings, QWidget* parent)
    : QMainWindow(parent),
      m_settings(settings),
      m_notices(this),
      m_model(link, settings, m_notices, FrontEnd()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Meridial"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* bevel = new QFrame(central);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    layout->addWidget(bevel);

    auto* panel = new QFrame(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(41);
    panel->setAutoFillBackground(true);
    auto* idRow = new QHBoxLayout(panel);
    auto* idLabel = NamedLabel("Label7", QStringLiteral(" Time Sign ID: "), panel);
    QFont bold = idLabel->font();
    bold.setBold(true);
    idLabel->setFont(bold);
    m_signId = new QComboBox(panel);
    m_signId->setObjectName(QStringLiteral("ComboBox1"));
    LabelFor(idLabel, m_signId);
    idRow->addWidget(idLabel);
    idRow->addWidget(m_signId);
    idRow->addStretch();
    layout->addWidget(panel);

    layout->addWidget(BuildMessageGroup(), 1);

    auto* dateAndTime = new QGroupBox(QStringLiteral(" Date and Time "), central);
    dateAndTime->setObjectName(QStringLiteral("GroupBox2"));
    CaptionColour(dateAndTime, "navy");
    auto* groups = new QHBoxLayout(dateAndTime);
    m_dateTime = new DateTimeGroup(dateAndTime);
    const PcZoneState pc = PcZoneStateAt();
    m_zone = new ZoneGroup(QDate::currentDate().year(), pc.bias, dateAndTime);
    groups->addWidget(m_dateTime);
    groups->addWidget(m_zone, 1);
    layout->addWidget(dateAndTime);

    m_transfer = new QPushButton(QStringLiteral("Transfer"), central);
    m_transfer->setObjectName(QStringLiteral("Button1"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), central);
    cancel->setObjectName(QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_transfer);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    setCentralWidget(central);

    BuildMenus();
    BuildStatusBar();
    connect(m_transfer, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(cancel, &QPushButton::clicked, this, &TForm1::Button2Click);
    // Where the operator looks after a fill; the whole text is in the button's tooltip.
    connect(m_zone, &ZoneGroup::Filled, m_statusPanel1, &QLabel::setText);
    FormCreate();
    NameForScreenReaders();
    KeepTheWindowsFont();

    OuterSize::ScrollWhenTooLarge(this);
    OuterSize::Apply(this, QSize(765, 572));
    // Enter and Ctrl+F9 are the window's before any control sees them.
    qApp->installEventFilter(this);
}

TForm1::~TForm1() { qApp->removeEventFilter(this); }

QWidget* TForm1::BuildMessageGroup() {
    auto* group = new QGroupBox(QStringLiteral(" Sign Message "), centralWidget());
    group->setObjectName(QStringLiteral("GroupBox1"));
    CaptionColour(group, "maroon");
    m_editor = new MessageEditor(group);
    m_editor->setObjectName(QStringLiteral("RichEdit1"));
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont editorFont(QStringLiteral("MingLiU"));
    editorFont.setStyleHint(QFont::TypeWriter);
    editorFont.setFixedPitch(true);
    editorFont.setBold(true);
    editorFont.setPixelSize(19);
    m_editor->setFont(editorFont);
    m_editor->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab and Shift+Tab move on: a TAB typed into the message would reach the sign as a byte.
    m_editor->setTabChangesFocus(true);

    m_speed = new QSlider(Qt::Horizontal, group);
    m_speed->setObjectName(QStringLiteral("TrackBar1"));
    m_speed->setRange(kSlowestSpeed, kFastestSpeed);
    m_speed->setPageStep(1);
    m_speed->setTickInterval(1);
    m_speed->setTickPosition(QSlider::TicksBelow);
    m_speed->setValue(m_model.Speed());
    connect(m_speed, &QSlider::valueChanged, this,
            [this](int position) { m_model.SpeedMoved(position); });

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    auto* layout = new QGridLayout(group);
    QLabel* messages = NamedLabel("Label1", QStringLiteral("Messages:"), group);
    LabelFor(messages, m_editor);
    QLabel* speed = NamedLabel("Label13", QStringLiteral("Move Speed:"), group);
    LabelFor(speed, m_speed);
    layout->addWidget(messages, 0, 0, 1, 4);
    layout->addWidget(m_editor, 1, 0, 1, 4);
    layout->addWidget(speed, 2, 0);
    layout->addWidget(NamedLabel("Label14", QStringLiteral("Slow"), group), 2, 1);
    layout->addWidget(m_speed, 2, 2);
    layout->addWidget(NamedLabel("Label15", QStringLiteral("Fast"), group), 2, 3);
    layout->setColumnStretch(2, 1);

    m_popup = new QMenu(m_editor);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [&](const char* name, const char* text, void (TForm1::*slot)()) {
        QAction* action = m_popup->addAction(QLatin1String(text));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
    };
    addItem("Cut1", "Cut", &TForm1::Cut1Click);
    addItem("Copy1", "Copy", &TForm1::Copy1Click);
    addItem("Paste1", "Paste", &TForm1::Paste1Click);
    connect(m_editor, &QTextEdit::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popup->popup(m_editor->viewport()->mapToGlobal(at)); });
    connect(m_editor, &QTextEdit::textChanged, this, &TForm1::RichEdit1Change);
    return group;
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* setCom = bar->addMenu(QIcon(QStringLiteral(":/port.png")),
                                 QStringLiteral("Set Com") + QString(12, QLatin1Char(' ')));
    setCom->setObjectName(QStringLiteral("SetCom1"));
    QAction* setCom2 = setCom->addAction(QStringLiteral("Set Com..."));
    setCom2->setObjectName(QStringLiteral("SetCom2"));
    QMenu* help = bar->addMenu(QIcon(QStringLiteral(":/help.png")),
                               QStringLiteral("Help") + QString(9, QLatin1Char(' ')));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* readMe = help->addAction(QStringLiteral("Read Me"));
    readMe->setObjectName(QStringLiteral("ReadMe1"));
    QAction* about = help->addAction(QStringLiteral("About..."));
    about->setObjectName(QStringLiteral("About1"));
    connect(setCom2, &QAction::triggered, this, &TForm1::SetCom2Click);
    connect(readMe, &QAction::triggered, this, &TForm1::ReadMe1Click);
    connect(about, &QAction::triggered, this, &TForm1::About1Click);
    QAction* preview = help->addAction(QStringLiteral("Sign Preview..."));
    preview->setObjectName(QStringLiteral("SignPreview1"));
    connect(preview, &QAction::triggered, this, &TForm1::SignPreview1Click);
}

void TForm1::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    m_statusPanel1 = NamedLabel("StatusPanel1", QString(), bar);
    m_statusPanel1->setFixedWidth(190);
    m_statusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel2 = NamedLabel("StatusPanel2", QString(), bar);
    m_statusPanel2->setFixedWidth(190);
    m_statusPanel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* panel3 = new QWidget(bar);
    panel3->setObjectName(QStringLiteral("StatusPanel3"));
    panel3->setFixedWidth(50);
    // The bar fills the third panel but for 15 pixels at its right.
    auto* inner = new QHBoxLayout(panel3);
    inner->setContentsMargins(0, 0, 15, 0);
    m_progress->setParent(panel3);
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { border: none; } QProgressBar::chunk { background: rgb(0, 0, 255); }"));
    inner->addWidget(m_progress);
    bar->addWidget(m_statusPanel1);
    bar->addWidget(m_statusPanel2);
    bar->addWidget(panel3);
}

// Qt's style sheets pass no font down: a control inside a group with a caption colour, or in a
// group inside one, would take the desktop's font. Each is given the window's own, its weight
// kept; the editor keeps the font it was given.
void TForm1::KeepTheWindowsFont() {
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control->window() != this || control == m_editor || m_editor->isAncestorOf(control))
            continue;
        QFont own = font();
        own.setBold(control->font().bold());
        control->setFont(own);
    }
}

void TForm1::NameForScreenReaders() {
    screen_readers::NameUnlabelledLists(this);
    screen_readers::NameThroughLabel(m_statusPanel1, QStringLiteral("Transfer status"));
    screen_readers::NameThroughLabel(m_statusPanel2, QStringLiteral("Message length"));
    m_progress->setAccessibleName(QStringLiteral("Transfer progress"));
}

void TForm1::FormCreate() {
    QPalette yellow = findChild<QFrame*>(QStringLiteral("Panel1"))->palette();
    yellow.setColor(QPalette::Window, QColor(240, 238, 180));
    // The panel's colour is fixed, so its text is too: a dark palette's light text would vanish.
    yellow.setColor(QPalette::WindowText, Qt::black);
    findChild<QFrame*>(QStringLiteral("Panel1"))->setPalette(yellow);
    // Typed text is always black; the page under it must stay white whatever the palette. (A
    // style sheet, as the group's caption colour puts the editor under one, which drops palettes.)
    m_editor->setStyleSheet(
        QStringLiteral("QTextEdit#RichEdit1 { background-color: white; color: black; }"));
    ResetTypingAttributes();
    for (const std::string& id : m_model.SignIds()) m_signId->addItem(QString::fromStdString(id));
    m_signId->setCurrentIndex(m_model.SignId());
    connect(m_signId, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_model.SignIdPicked(index); });
}

void TForm1::SetWindows(TSetCom* setCom, TAboutBox* about, TSetID* setId) {
    m_setCom = setCom;
    m_about = about;
    m_setId = setId;
}

void TForm1::ResetTypingAttributes() {
    QTextCharFormat format;
    format.setForeground(Qt::black);
    format.setFontWeight(QFont::Bold);
    format.setFontUnderline(false);
    m_editor->setCurrentCharFormat(format);
}

MainWindowModel::FrontEnd TForm1::FrontEnd() {
    MainWindowModel::FrontEnd frontEnd;
    frontEnd.encoder = CodePageEncoder([this] { return m_settings.CodePage(); });
    frontEnd.entries = [this] {
        return StepEntries{m_dateTime->Entry(), m_zone->Entry(), PcZoneStateAt()};
    };
    frontEnd.seedClock = [this] { m_dateTime->SeedClock(); };
    frontEnd.editorChanged = [this] { DrawEditorStatus(); };
    frontEnd.transferChanged = [this] { DrawTransfer(); };
    frontEnd.progressChanged = [this] { DrawProgress(); };
    return frontEnd;
}

void TForm1::RichEdit1Change() {
    static_cast<MessageEditor*>(m_editor)->FitWrapping(m_editor->document()->characterCount());
    m_model.TextChanged(m_editor->toPlainText().toStdString());
}

void TForm1::DrawEditorStatus() {
    m_statusPanel2->setText(QString::fromStdString(m_model.CountText()));
    m_statusPanel2->setToolTip(QString::fromStdString(m_model.MarkerNote()));
}

bool TForm1::RichEdit1KeyPress(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty() || !text[0].isPrint() || (event->modifiers() & Qt::ControlModifier))
        return false;
    ResetTypingAttributes();
    return !m_model.TypedCharacter();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate && watched != this && watched->isWidgetType()) {
        const auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip)
            m_model.OwnWindowActivated();
    }
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return true;
    if (key->key() == Qt::Key_F9 && (key->modifiers() & Qt::ControlModifier) && m_setId) {
        m_setId->show();
        m_setId->raise();
        m_setId->activateWindow();
    }
    if (watched == m_editor && RichEdit1KeyPress(key)) return true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) m_model.Activated();
    QMainWindow::changeEvent(event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    m_model.Shown();
}

void TForm1::FormActivate() { m_model.SeedClock(); }

void TForm1::DisableTransfer() {
    // Disabling the focused button would pass the focus on to "Cancel", where the Space meant
    // for the next Transfer closes the program. The window holds no focus meanwhile instead.
    m_transferHadFocus = focusWidget() == m_transfer;
    if (m_transferHadFocus) m_transfer->clearFocus();
    m_transfer->setEnabled(false);
}

void TForm1::EnableTransfer() {
    m_transfer->setEnabled(true);
    // Unless the operator has put the focus elsewhere since.
    if (m_transferHadFocus && !focusWidget()) m_transfer->setFocus(Qt::OtherFocusReason);
    m_transferHadFocus = false;
}

void TForm1::Button1Click() {
    if (m_model.Transfer() == MainWindowModel::AfterTransfer::Close) close();
}

void TForm1::DrawTransfer() {
    const bool idle = m_model.State() == MainWindowModel::TransferState::Idle;
    if (idle != m_transfer->isEnabled()) idle ? EnableTransfer() : DisableTransfer();
    // Dialogs that would run a modal loop inside the sequence's waits stay shut meanwhile.
    SetModalMenusEnabled(idle);
    m_statusPanel1->setText(QString::fromStdString(m_model.StatusText()));
}

void TForm1::DrawProgress() {
    const MainWindowModel::Progress& progress = m_model.TransferProgress();
    if (progress.position == 0) m_progress->setValue(0);
    m_progress->setMaximum(progress.maximum);
    m_progress->setValue(progress.position);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_model.RequestClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        // Closing the main window ends the program, its hidden dialogs too.
        if (m_setId) m_setId->close();
        QApplication::quit();
    }
}

void TForm1::SetModalMenusEnabled(bool enabled) {
    for (const char* name : {"SetCom2", "About1"})
        if (auto* action = findChild<QAction*>(QLatin1String(name))) action->setEnabled(enabled);
}

void TForm1::Button2Click() { close(); }

void TForm1::SetCom2Click() {
    if (m_setCom) m_setCom->exec();
}

void TForm1::About1Click() {
    if (m_about) m_about->exec();
}

void TForm1::SignPreview1Click() {
    if (!m_preview) {
        m_preview = new view::SignPreview([this] { return m_model.PreviewRequest(); }, this);
        screen_readers::AnnounceAsWindow(m_preview);
    }
    m_preview->show();
    m_preview->raise();
}

void TForm1::ReadMe1Click() {
    const QString name = QStringLiteral("meridialmanual.txt");
    QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (!QFileInfo::exists(path))
        path = QDir(QCoreApplication::applicationDirPath())
                   .filePath(QStringLiteral("../share/doc/meridial/") + name);
    path = QDir::cleanPath(path);
    // A missing file: nothing to report.
    if (!QFileInfo::exists(path)) return;
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    // No desktop launcher to hand the file to: the program shows it itself.
    if (!m_readMe) m_readMe = new ReadMeWindow(this);
    m_readMe->ShowFile(path);
}

void TForm1::Cut1Click() { m_editor->cut(); }
void TForm1::Copy1Click() { m_editor->copy(); }
void TForm1::Paste1Click() { m_editor->paste(); }

}  // namespace meridial
