#pragma once

#include "control/RemoteAccess.h"

#include <QPluginLoader>
#include <QtPlugin>

#include <memory>

// What the remote module gives the panel: the script server and the metrics
// page, with Qt Network and the metrics library behind them. It takes the
// core from the panel's own program.
class RemoteModule {
public:
    virtual ~RemoteModule() = default;
    virtual std::unique_ptr<RemoteAccess> make(const RemoteAccess::Parts& parts) = 0;
};

#define VelmorRemoteModule_iid "org.velmor.monitor.RemoteModule/1"
Q_DECLARE_INTERFACE(RemoteModule, VelmorRemoteModule_iid)

// The panel's way to the remote module: loads it on the first call.
class RemoteModuleFile {
public:
    std::unique_ptr<RemoteAccess> make(const RemoteAccess::Parts& parts, QString* error);

private:
    // Never unloaded: what it made may live until the program ends.
    QPluginLoader loader_;
};
