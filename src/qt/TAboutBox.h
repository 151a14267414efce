#pragma once

#include <QDialog>

namespace meridial {

class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

public slots:
    void OKButtonClick();
};

}  // namespace meridial
