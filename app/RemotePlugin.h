#pragma once

#include "RemoteModule.h"

#include <QObject>

// The remote module's entry: makes the script server and the metrics page.
class RemotePlugin : public QObject, public RemoteModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VelmorRemoteModule_iid)
    Q_INTERFACES(RemoteModule)
public:
    std::unique_ptr<RemoteAccess> make(const RemoteAccess::Parts& parts) override;
};
