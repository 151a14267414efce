#pragma once

#include <QDialog>
#include <functional>

class QComboBox;

namespace meridial {

class SignLink;

// "SetID", the installer's hidden dialog: gives the sign on the line a new Sign ID.
class TSetID final : public QDialog {
    Q_OBJECT
public:
    TSetID(SignLink& link, std::function<int()> portNumber, QWidget* parent = nullptr);

public slots:
    void OKClick();
    void CancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    SignLink& m_link;
    std::function<int()> m_portNumber;
    QComboBox* m_list;
};

}  // namespace meridial
