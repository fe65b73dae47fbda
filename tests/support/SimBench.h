#pragma once

#include "app/VelmorMain.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The simulated supply on COM200 in a temporary port-link folder, and a
// panel on the real serial control beside it.
struct SimBench {
    explicit SimBench(const QStringList& simOptions = {});
    ~SimBench();

    // Starts (or starts again) the simulated supply; true once its link is
    // published.
    bool startSim(const QStringList& simOptions = {});
    void stopSim();

    QString text(const char* name) const;
    void press(const char* name);
    void choose(const char* list, const QString& item);
    // Picks COM200 and presses the port button.
    bool open();
    // One polling tick, then the wait (at most waitMs) for the supply's
    // reply to be read.
    void tick(int waitMs = 1000);
    void cycles(int count);
    // Every command the supply received, in order, without its "CR".
    QStringList commandsReceived() const;

    QTemporaryDir folder;
    QString log;
    QProcess sim;
    bool ready = false;
    std::unique_ptr<VelmorMain> window;
    int boxes = 0;
};
