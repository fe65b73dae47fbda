#pragma once

#include "CommandLine.h"
#include "RemoteAccess.h"
#include "meter/EnergyMeter.h"
#include "meter/OutputTimer.h"
#include "program/Automation.h"
#include "record/CsvRecorder.h"
#include "serial/Reconnector.h"
#include "supply/SupplyLink.h"

#include <QObject>

#include <memory>

// What a run does apart from showing it: the supply link, opening the port
// by request, polling, reopening a lost line, recording, programmed runs and
// watch limits, the script server, the metrics page, and the order a launch
// from the command line takes. The window and the
// headless program both drive it; neither keeps any of this itself.
class RunController : public QObject {
    Q_OBJECT
public:
    // The factory makes the script server and the metrics page when first
    // asked for. Tests may try to reopen more often than a run does.
    RunController(std::unique_ptr<SerialControl> comm, RemoteAccess::Factory remoteFactory,
                  QObject* parent = nullptr, int reconnectIntervalMs = Reconnector::IntervalMs);
    ~RunController() override;

    SupplyLink& link() { return link_; }
    CsvRecorder& recorder() { return recorder_; }
    Automation& automation() { return automation_; }
    EnergyMeter& meter() { return meter_; }
    OutputTimer& outputTimer() { return outputTimer_; }
    const Reconnector& reconnector() const { return reconnector_; }
    // The script server and the metrics page: null until first made.
    RemoteAccess* remote() { return remote_.get(); }
    // Makes them if need be; null, with the reason, when they cannot be made.
    RemoteAccess* openRemote(QString* error);

    // The request a command line's port and settings stand for, with the
    // line settings the lists start with where none are given.
    static PortRequest requestFor(const LaunchOptions& options);

    // The port button: closes an open port or opens the requested one,
    // telling the operator what failed. A reconnection under way stops: the
    // line is the operator's again. An opening that fails while reconnecting
    // is on is tried again every interval, as a lost line is.
    void switchPort(const PortRequest& request);
    void togglePolling();

    // Automatic reconnection, off at start. Switching it off stops any
    // trying.
    bool isReconnecting() const { return reconnector_.isEnabled(); }
    void setReconnecting(bool on);
    // Opens the request without a box, now and every two seconds until it
    // opens (reconnection must be on); polling starts once it is open when
    // asked to.
    void keepTrying(const PortRequest& request, bool startPolling);

    // Serves the metrics page, labelled with `portLabel`; false with a
    // one-line reason when the address cannot be bound.
    bool serveMetrics(const MetricsAddress& where, const QString& portLabel, QString* error);

    // The command line's order: the recording, reconnection, the port
    // (opened as the port button opens it, or quietly and tried again and
    // again when reconnecting), polling once it is open, then the output
    // timer. A recording that cannot start is announced by recordingRefused.
    void launch(const LaunchOptions& options, const PortRequest& request);

    // The one way out of both programs: a programmed run stopped or an
    // output timer ended (the output switched off ahead of everything
    // waiting for the line), polling stopped, the port closed and the
    // recording's last row written. False when an output-off was owed and
    // could not be written: the output may still be on.
    bool finish();

signals:
    void reconnectingChanged(bool on);
    // A lost line (or one that did not open at launch) is open again.
    void reopened();
    void recordingRefused(const QString& reason);
    // An owed output-off could not be written (the line is gone): the output
    // may still be on, and goes off when the line is open again.
    void switchOffFailed();
    // The script server and the metrics page were made (once a run).
    void remoteOpened(RemoteAccess* remote);

private:
    void lineLost();
    void onReopened();

    SupplyLink link_;
    // Before the recorder, whose last row gives the meter's totals.
    EnergyMeter meter_;
    CsvRecorder recorder_;
    Automation automation_;
    OutputTimer outputTimer_;
    RemoteAccess::Factory remoteFactory_;
    Reconnector reconnector_;
    std::unique_ptr<RemoteAccess> remote_;
    PortRequest retryRequest_;
    LinkEvent retryEvent_ = LinkEvent::PortReopened;
    bool resumePolling_ = false;
};
