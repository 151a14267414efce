#pragma once

#include <QDialog>

class QComboBox;

namespace meridial {

class ProgramSettings;

// "SetCom": the operator picks the sign's COM port once; it is remembered in the settings file.
// The dialog never opens the port.
class TSetCom final : public QDialog {
    Q_OBJECT
public:
    // The dialog edits the program's settings: "OK" stores the port in them.
    explicit TSetCom(ProgramSettings& settings, QWidget* parent = nullptr);

public slots:
    void OKClick();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    ProgramSettings& m_settings;
    QComboBox* m_list;
};

}  // namespace meridial
