#pragma once

#include <QDialog>

#include "link/PortSettings.h"

class QComboBox;

namespace meridial {

// "SetCom": the operator picks the sign's COM port once; it is remembered in the settings file.
// The dialog never opens the port.
class TSetCom final : public QDialog {
    Q_OBJECT
public:
    explicit TSetCom(PortSettings settings, QWidget* parent = nullptr);

    // The remembered port number, as read at start-up or stored by "OK".
    int PortNumber() const { return m_portNumber; }
    const PortSettings& Settings() const { return m_settings; }

public slots:
    void OKClick();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    PortSettings m_settings;
    QComboBox* m_list;
    int m_portNumber = kDefaultPortNumber;
};

// Discards typed characters, so a list's item can only be picked from its drop-down.
class DiscardTypingFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace meridial
