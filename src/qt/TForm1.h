#pragma once

#include <QMainWindow>
#include <string>

#include "app/MainWindowModel.h"
#include "link/SignLink.h"
#include "qt/MessageBoxes.h"

class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTextEdit;

namespace meridial {

class DateTimeGroup;
class ProgramSettings;
class ReadMeWindow;
class TAboutBox;
class TSetCom;
class TSetID;
class ZoneGroup;
namespace view {
class SignPreview;
}

// The main window: the message, the sign's clock and zone, and "Transfer". It forwards its
// controls' events to its model and draws the model's state.
class TForm1 final : public QMainWindow {
    Q_OBJECT
public:
    TForm1(SignLink& link, const ProgramSettings& settings, QWidget* parent = nullptr);
    ~TForm1() override;

    // The other windows, created after this one.
    void SetWindows(TSetCom* setCom, TAboutBox* about, TSetID* setId);

    bool TransferRunning() const { return m_model.State() != MainWindowModel::TransferState::Idle; }

public slots:
    void Button1Click();
    void Button2Click();
    void RichEdit1Change();
    void SetCom2Click();
    void About1Click();
    void ReadMe1Click();
    void SignPreview1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void FormActivate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void NameForScreenReaders();
    void KeepTheWindowsFont();
    QWidget* BuildMessageGroup();
    void BuildMenus();
    void BuildStatusBar();
    bool RichEdit1KeyPress(QKeyEvent* event);
    void ResetTypingAttributes();
    MainWindowModel::FrontEnd FrontEnd();
    void DrawEditorStatus();
    void DrawTransfer();
    void DrawProgress();
    void SetModalMenusEnabled(bool enabled);
    void DisableTransfer();
    void EnableTransfer();

    const ProgramSettings& m_settings;
    QtNotices m_notices;
    MainWindowModel m_model;
    TSetCom* m_setCom = nullptr;
    TAboutBox* m_about = nullptr;
    TSetID* m_setId = nullptr;
    view::SignPreview* m_preview = nullptr;

    QComboBox* m_signId;
    QTextEdit* m_editor;
    QSlider* m_speed;
    DateTimeGroup* m_dateTime;
    ZoneGroup* m_zone;
    QPushButton* m_transfer;
    QLabel* m_statusPanel1;
    QLabel* m_statusPanel2;
    QProgressBar* m_progress;
    QMenu* m_popup;
    ReadMeWindow* m_readMe = nullptr;

    bool m_transferHadFocus = false;
};

}  // namespace meridial
