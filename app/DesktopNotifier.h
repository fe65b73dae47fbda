#pragma once

#include <QString>

// Desktop notifications over the session bus (the freedesktop notification
// service). Where there is no session bus, or nobody serves notifications,
// nothing happens: the panel's own message line says it as well.
class DesktopNotifier {
public:
    void notify(const QString& summary, const QString& body) const;
};
