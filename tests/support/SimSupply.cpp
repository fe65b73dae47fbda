#include "SimSupply.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

bool SimSupply::start(const QStringList& options) {
    process.setProgram(QStringLiteral(VELMOR_SIM_BINARY));
    process.setArguments(
        QStringList{"--com", QString::number(Port), "--link-dir", folder.path(), "--quiet"} +
        options);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(5000))
        return false;
    const QString link = folder.filePath(QStringLiteral("com") + QString::number(Port));
    const QDeadlineTimer deadline(5000);
    while (!QFile::exists(link) && !deadline.hasExpired())
        QTest::qWait(10);
    return QFile::exists(link);
}

void SimSupply::stop() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    process.waitForFinished(3000);
}
