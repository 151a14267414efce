#pragma once

#include <QDialog>

#include "link/PortChoiceModel.h"
#include "qt/MessageBoxes.h"

class QComboBox;

namespace meridial {

class ProgramSettings;

// "SetCom": the operator picks the sign's COM port once; it is remembered in the settings file.
// The dialog never opens the port. A view over PortChoiceModel.
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

    void ShowSelection();

    ProgramSettings& m_settings;
    QtNotices m_notices;
    PortChoiceModel m_model;
    QComboBox* m_list;
};

}  // namespace meridial
