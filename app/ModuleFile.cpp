#include "ModuleFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace ModuleFile {

QStringList paths(const QString& programDir, const QString& fileName) {
    return {QDir::cleanPath(programDir + QStringLiteral("/" VELMOR_MODULE_DIR "/") + fileName),
            QDir::cleanPath(programDir + QLatin1Char('/') + fileName)};
}

QObject* load(QPluginLoader& loader, const QString& fileName, QString* error) {
    QStringList errors;
    for (const QString& path : paths(QCoreApplication::applicationDirPath(), fileName)) {
        if (!QFileInfo::exists(path))
            continue;
        loader.setFileName(path);
        if (QObject* entry = loader.instance())
            return entry;
        errors << loader.errorString();
    }
    if (errors.isEmpty())
        errors << QCoreApplication::translate("ModuleFile", "未找到 %1").arg(fileName);
    *error = errors.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace ModuleFile
