#include "RunController.h"

#include "serial/PortDirectory.h"

RunController::RunController(std::unique_ptr<SerialControl> comm,
                             RemoteAccess::Factory remoteFactory, QObject* parent,
                             int reconnectIntervalMs)
    : QObject(parent), link_(std::move(comm), this), meter_(link_.model()),
      recorder_(link_.model()), automation_(link_),
      outputTimer_(link_.switches(), link_.model(), [this] { automation_.enterSafeState(); }),
      remoteFactory_(std::move(remoteFactory)),
      reconnector_([this] { return link_.portSession().openQuietly(retryRequest_, retryEvent_); },
                   reconnectIntervalMs) {
    connect(&link_.model(), &SupplyModel::linkEvent, this, [this](LinkEvent event) {
        if (event == LinkEvent::PortLost)
            lineLost();
    });
    connect(&reconnector_, &Reconnector::reopened, this, [this] { onReopened(); });
    connect(&link_.switches(), &SupplySwitches::switchOffFailed, this,
            &RunController::switchOffFailed);
    recorder_.setStoppedSuffix([this] { return meter_.summaryText(); });
}

RunController::~RunController() = default;

PortRequest RunController::requestFor(const LaunchOptions& options) {
    const LaunchOptions::LineTexts line = options.settings.value_or(LaunchOptions::LineTexts{
        QStringLiteral("9600"), QStringLiteral("NONE"), QStringLiteral("8"), QStringLiteral("1")});
    const bool isPath = options.port.startsWith(u'/');
    return {options.port,
            isPath ? quint8(0) : portNumberFromText(options.port),
            line.baud,
            line.parity,
            line.dataBits,
            line.stopBits,
            isPath ? options.port : QString()};
}

void RunController::switchPort(const PortRequest& request) {
    const bool opening = !link_.MSComm().PortOpen();
    const bool resume = reconnector_.isTrying() && resumePolling_;
    reconnector_.stop();
    link_.portSession().toggle(request);
    // The operator asked for the line and it did not open: with reconnecting
    // on, it is tried again as a lost line is, so that an output-off still
    // owed goes out when the supply is back, rather than never.
    if (opening && !link_.MSComm().PortOpen() && reconnector_.isEnabled())
        keepTrying(request, resume);
}

void RunController::togglePolling() {
    link_.polling().toggle();
}

void RunController::setReconnecting(bool on) {
    if (on == reconnector_.isEnabled())
        return;
    reconnector_.setEnabled(on);
    emit reconnectingChanged(on);
}

void RunController::lineLost() {
    if (!reconnector_.isEnabled())
        return;
    // Polling is still on here: the next tick, finding the port closed,
    // switches it off; the reopened line takes it up again.
    resumePolling_ = link_.polling().isPolling();
    retryRequest_ = link_.portSession().openedRequest();
    retryEvent_ = LinkEvent::PortReopened;
    reconnector_.start();
}

void RunController::keepTrying(const PortRequest& request, bool startPolling) {
    resumePolling_ = startPolling;
    retryRequest_ = request;
    retryEvent_ = LinkEvent::PortOpened;
    reconnector_.start();
}

void RunController::onReopened() {
    if (retryEvent_ == LinkEvent::PortReopened && remote_)
        remote_->countReconnection();
    if (resumePolling_ && !link_.polling().isPolling())
        link_.polling().toggle();
    resumePolling_ = false;
    emit reopened();
}

RemoteAccess* RunController::openRemote(QString* error) {
    if (!remote_) {
        remote_ = remoteFactory_({link_, recorder_, automation_.watch(), meter_,
                                  [this] { automation_.enterSafeState(); }},
                                 error);
        if (remote_)
            emit remoteOpened(remote_.get());
    }
    return remote_.get();
}

bool RunController::serveMetrics(const MetricsAddress& where, const QString& portLabel,
                                 QString* error) {
    RemoteAccess* remote = openRemote(error);
    return remote && remote->serveMetrics(where, portLabel, error);
}

void RunController::launch(const LaunchOptions& options, const PortRequest& request) {
    // The recording first, so that it holds the port's opening and the start
    // of polling.
    if (!options.recordPath.isEmpty() &&
        !recorder_.start(options.recordPath, CsvRecorder::Existing::Refuse))
        emit recordingRefused(recorder_.errorString());
    if (options.reconnect)
        setReconnecting(true);
    if (!options.port.isEmpty()) {
        if (!options.reconnect)
            switchPort(request);
        else if (!link_.portSession().openQuietly(request, LinkEvent::PortOpened))
            keepTrying(request, options.poll);
        if (options.poll && link_.MSComm().PortOpen())
            togglePolling();
    }
    if (options.outputTimer)
        (void)outputTimer_.start(*options.outputTimer);
}

bool RunController::finish() {
    reconnector_.stop();
    // Whatever the operator started that switches the output off ends here
    // with the output switched off, ahead of anything waiting for the line.
    if (automation_.run().isActive())
        automation_.run().stop();
    else if (outputTimer_.isActive())
        (void)link_.switches().switchOffNow();
    outputTimer_.cancel();
    const bool safe = !link_.switches().offOwed();
    // The recording keeps the end of the run: polling stopped, the port
    // closed, then its own last row.
    if (link_.polling().isPolling())
        link_.polling().toggle();
    if (link_.MSComm().PortOpen())
        link_.portSession().ClosePort();
    recorder_.stop();
    return safe;
}
