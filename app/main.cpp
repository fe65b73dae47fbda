#include "app/AppId.h"
#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QLatin1String(AppId));
    // The panel takes no command line; Qt's own options are left to Qt.
    PortDirectory ports(PortDirectory::defaultLinkFolder());
    auto comm = std::make_unique<QtSerialControl>(ports);
    VelmorMain window(std::move(comm), ports);
    window.show();
    return app.exec();
}
