#include "RemotePlugin.h"

#include "remote/RemoteServices.h"

std::unique_ptr<RemoteAccess> RemotePlugin::make(const RemoteAccess::Parts& parts) {
    return std::make_unique<RemoteServices>(parts);
}
