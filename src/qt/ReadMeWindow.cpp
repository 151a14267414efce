#include "qt/ReadMeWindow.h"

#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "qt/OuterSize.h"
#include "qt/ScreenReaders.h"

namespace meridial {

ReadMeWindow::ReadMeWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("ReadMe"));
    setWindowTitle(QStringLiteral("Read Me"));
    screen_readers::AnnounceAsWindow(this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("ReadMeText"));
    m_text->setReadOnly(true);
    // The manual is laid out in columns of spaces.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    OuterSize::Apply(this, QSize(640, 480));
}

// Escape closes it, as it closes the program's dialogs.
void ReadMeWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ReadMeWindow::ShowFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    m_text->setPlainText(QString::fromUtf8(file.readAll()));
    show();
    raise();
    activateWindow();
}

}  // namespace meridial
