// meridial: the desktop program. It takes no command-line arguments of its own.

#include <QApplication>
#include <QIcon>

#include "app/MenuBarStyle.h"
#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "link/PortSettings.h"
#include "link/SerialSignLink.h"
#include "link/TSetCom.h"
#include "service/TSetID.h"

using namespace meridial;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meridial"));
    QApplication::setApplicationDisplayName(QStringLiteral("Meridial"));
    // Docks and task bars find the installed desktop entry, and through it the icon, by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.meridial.Meridial"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/meridial.png")));
    QApplication::setStyle(new MenuBarStyle);

    const PortSettings settings(PortSettings::DefaultPath());
    // One line, shared by every window that sends: it refuses a second open while one sequence
    // holds it.
    SerialSignLink link([settings](int n) { return settings.DeviceForPort(n); },
                        WaitMode::EventLoop);

    TForm1 form1(link);
    TSetCom setCom(settings, &form1);
    TAboutBox about(&form1);
    TSetID setId(
        link, [&setCom] { return setCom.PortNumber(); }, &form1);
    form1.SetWindows(&setCom, &about, &setId);
    form1.show();
    return QApplication::exec();
}
