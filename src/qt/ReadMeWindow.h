#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace meridial {

// The read-me shown by the program itself, for desktops with nothing registered to open a text
// file. Plain and read-only; one window, shown again on every request.
class ReadMeWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ReadMeWindow(QWidget* parent = nullptr);

    void ShowFile(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* m_text;
};

}  // namespace meridial
