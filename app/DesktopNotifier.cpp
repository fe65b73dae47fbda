#include "DesktopNotifier.h"

#include "AppId.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// Without an address, the bus library may try to start a bus of its own
// ("autolaunch"); only a bus that is already there is used.
bool sessionBusAround() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

} // namespace

void DesktopNotifier::notify(const QString& summary, const QString& body) const {
    if (!sessionBusAround())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The application name, which the notification shows above its summary.
    call << QCoreApplication::translate("DesktopNotifier", "Velmor电源监控") << uint(0)
         << QLatin1String(AppId) << summary << body << QStringList() << QVariantMap() << int(-1);
    // No answer is awaited: a missing service must not hold the panel up.
    bus.call(call, QDBus::NoBlock);
}
