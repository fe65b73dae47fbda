#include "RemoteModule.h"

#include "ModuleFile.h"

#include <QCoreApplication>

std::unique_ptr<RemoteAccess> RemoteModuleFile::make(const RemoteAccess::Parts& parts,
                                                     QString* error) {
    QString reason;
    auto* module = qobject_cast<RemoteModule*>(
        ModuleFile::load(loader_, QStringLiteral(VELMOR_REMOTE_MODULE), &reason));
    if (!module) {
        *error = QCoreApplication::translate("RemoteModuleFile", "无法加载远程模块：") + reason;
        return nullptr;
    }
    return module->make(parts);
}
