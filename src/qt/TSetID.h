#pragma once

#include <QDialog>

class QComboBox;

namespace meridial {

class ProgramSettings;
class SignLink;

// "SetID", the installer's hidden dialog: gives the sign on the line a new Sign ID.
class TSetID final : public QDialog {
    Q_OBJECT
public:
    TSetID(SignLink& link, const ProgramSettings& settings, QWidget* parent = nullptr);

public slots:
    void OKClick();
    void CancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    SignLink& m_link;
    const ProgramSettings& m_settings;
    QComboBox* m_list;
};

}  // namespace meridial
