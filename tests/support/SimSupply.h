#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The simulated supply as a process, published as COM200 in a temporary
// port-link folder; no window and no serial control of the test's own.
struct SimSupply {
    static constexpr int Port = 200;

    ~SimSupply() { stop(); }
    // True once the link is published.
    bool start(const QStringList& options = {});
    void stop();
    QString linkFolder() const { return folder.path(); }

    QTemporaryDir folder;
    QProcess process;
};
