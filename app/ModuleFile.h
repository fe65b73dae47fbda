#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QPluginLoader;

// The program's modules: parts loaded on first use, so that a run that never
// uses them never maps them or the libraries behind them. Installed, they
// are in the package's module folder; in a build tree, beside the program.
namespace ModuleFile {

QStringList paths(const QString& programDir, const QString& fileName);
// The module's entry object, or null with the reasons in `error`.
QObject* load(QPluginLoader& loader, const QString& fileName, QString* error);

} // namespace ModuleFile
