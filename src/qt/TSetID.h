#pragma once

#include <QDialog>

#include "qt/MessageBoxes.h"
#include "service/SignIdResetModel.h"

class QComboBox;

namespace meridial {

class ProgramSettings;

// "SetID", the installer's hidden dialog: gives the sign on the line a new Sign ID. A view over
// SignIdResetModel.
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

    QtNotices m_notices;
    SignIdResetModel m_model;
    QComboBox* m_list;
};

}  // namespace meridial
