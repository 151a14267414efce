// meridial: the desktop program. It takes no command-line arguments of its own.

#include <QApplication>
#include <QIcon>

#include "app/MenuBarStyle.h"
#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "link/LinkFactory.h"
#include "link/ProgramSettings.h"
#include "link/TSetCom.h"
#include "service/TSetID.h"
#include "ui/MessageBoxes.h"

using namespace meridial;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meridial"));
    // No display name: the platform would append it to every caption ("SetCom — Meridial").
    // Docks and task bars find the installed desktop entry, and through it the icon, by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.meridial.Meridial"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/meridial.png")));
    QApplication::setStyle(new MenuBarStyle);

    ProgramSettings settings{PortSettings(PortSettings::DefaultPath())};
    // One line, shared by every window that sends: it refuses a second open while one sequence
    // holds it.
    PortLink link(settings.Resolver(), WaitMode::EventLoop);
    ScreenMessageBoxes boxes([&link] { return link.IsOpen(); });
    MessageBoxes::Install(&boxes);

    TForm1 form1(link, settings);
    TSetCom setCom(settings, &form1);
    TAboutBox about(&form1);
    TSetID setId(link, settings, &form1);
    form1.SetWindows(&setCom, &about, &setId);
    form1.show();
    const int status = QApplication::exec();
    MessageBoxes::Install(nullptr);
    return status;
}
