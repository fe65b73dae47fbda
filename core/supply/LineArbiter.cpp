#include "LineArbiter.h"

#include "LinkState.h"
#include "Notices.h"
#include "ReplyDecoder.h"
#include "serial/LineSettings.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

LineArbiter::Clock steadyClock() {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}

bool isPanel(LineArbiter::Sender sender) {
    return sender != LineArbiter::Sender::Client;
}

} // namespace

LineArbiter::LineArbiter(LinkState& link, SerialControl& comm, TrafficLog& log, Notices& notices,
                         ReplyDecoder& decoder, QObject* parent)
    : QObject(parent), link_(link), comm_(comm), log_(log), notices_(notices), decoder_(decoder),
      clock_(steadyClock()), timer_(this) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LineArbiter::checkTime);
}

void LineArbiter::setClock(Clock clock) {
    clock_ = std::move(clock);
}

LineArbiter::RunScope::RunScope(LineArbiter& arbiter)
    : arbiter_(arbiter), before_(std::exchange(arbiter.panelSender_, Sender::Run)) {}

LineArbiter::RunScope::~RunScope() {
    arbiter_.panelSender_ = before_;
}

bool LineArbiter::isPortOpen() const {
    return comm_.PortOpen();
}

bool LineArbiter::write(const QString& text) {
    comm_.setInputMode(0);
    if (!comm_.Output(text))
        return false;
    if (clientSending_)
        clientBytes_ += text.size();
    return true;
}

// --- the panel's commands

bool LineArbiter::sendCommand(const QString& command, Echo echo, std::optional<PollingStep> leave,
                              Reply reply) {
    if (!comm_.PortOpen()) {
        emit notices_.message(Notices::translated(Notices::PortClosed));
        return false;
    }
    if (!clientSending_ && mustHold(reply)) {
        return hold(
            {panelSender_,
             nullptr,
             [this, command, echo, leave, reply] { (void)writePanel(command, echo, leave, reply); },
             {},
             {}});
    }
    return writePanel(command, echo, leave, reply);
}

bool LineArbiter::mustHold(Reply reply) const {
    // Nothing goes between a client's query and its reply; a query of the
    // panel's also waits out a client's late reply.
    return state_ == State::ClientReply || (reply == Reply::Awaited && state_ == State::Unsure);
}

bool LineArbiter::hold(Request request) {
    if (panelHeld() >= MaxHeld)
        return false;
    // The panel's commands go before a waiting tick, which continues the
    // cycle from the step they leave, and both before every client's request.
    const bool tick = request.sender == Sender::Polling;
    const auto after = std::find_if(queue_.begin(), queue_.end(), [tick](const Request& r) {
        return !isPanel(r.sender) || (!tick && r.sender == Sender::Polling);
    });
    queue_.insert(after, std::move(request));
    return true;
}

bool LineArbiter::writePanel(const QString& command, Echo echo, std::optional<PollingStep> leave,
                             Reply reply) {
    if (!comm_.PortOpen() || !write(command))
        return false;
    if (echo == Echo::Logged)
        log_.appendCommandLine(command);
    if (leave)
        link_.step = *leave;
    if (reply == Reply::Awaited)
        awaitPanelReply(true);
    return true;
}

void LineArbiter::awaitPanelReply(bool heldAlready) {
    panelAwaited_ = true;
    ++linesOwed_;
    lastPanelQuery_ = clock_();
    tickHeld_ = heldAlready;
    panelDeadline_ = clock_() + PanelReplyMs;
    if (state_ == State::Free || state_ == State::ClientPacing)
        state_ = State::PanelReply;
    armTimer();
}

bool LineArbiter::sendOwed(const QString& command, PollingStep leave) {
    // A failed client may ask again at once, and the line may be free (an
    // owed off can come in a yield of the receive handling, before it pumps):
    // what it asks waits until the off is out.
    const bool pumping = std::exchange(pumping_, true);
    failClients();
    dropHeld();
    const bool written = comm_.PortOpen() && writePanel(command, Echo::Silent, leave, Reply::None);
    pumping_ = pumping;
    pump();
    return written;
}

// --- the polling tick

LineArbiter::TickGate LineArbiter::tickGate() {
    // A tick that finds the port closed runs, and switches polling off.
    if (!comm_.PortOpen())
        return TickGate::Go;
    switch (state_) {
    case State::Free:
    case State::ClientPacing:
        return TickGate::Go;
    case State::PanelReply:
    case State::Settling:
        if (!panelAwaited_) {
            if (state_ == State::Settling && (clientsWaiting() > 0 || tickQueued())) {
                holdTick(true);
                return TickGate::Wait;
            }
            return TickGate::Go;
        }
        // A reply still outstanding gets one more interval before the next
        // query goes out; after that it is given up.
        if (!tickHeld_) {
            tickHeld_ = true;
            return TickGate::Skip;
        }
        giveUpPanelReply();
        return TickGate::Go;
    case State::Ticking:
        return TickGate::Skip;
    case State::ClientReply:
    case State::Unsure:
        break;
    }
    holdTick(false);
    return TickGate::Wait;
}

bool LineArbiter::tickQueued() const {
    return std::any_of(queue_.begin(), queue_.end(),
                       [](const Request& r) { return r.sender == Sender::Polling; });
}

void LineArbiter::holdTick(bool behindClients) {
    if (tickQueued())
        return;
    Request tick{Sender::Polling, nullptr, [this] { emit tickReady(); }, {}, {}};
    if (behindClients)
        queue_.push_back(std::move(tick));
    else
        (void)hold(std::move(tick));
}

void LineArbiter::runTick(const std::function<void()>& body) {
    tickSettling_ = state_ == State::Settling;
    enter(State::Ticking);
    body();
    if (state_ != State::Ticking)
        return;
    if (tickSettling_)
        enter(State::Settling);
    else
        enter(panelAwaited_ || linesOwed_ > 0 ? State::PanelReply : State::Free);
    pump();
}

bool LineArbiter::sendQuery(const QString& query) {
    if (!comm_.PortOpen() || !write(query))
        return false;
    log_.appendPollingLine(query);
    // An empty query (step 18 before any other step ran) asks nothing.
    if (!query.isEmpty())
        awaitPanelReply(false);
    return true;
}

void LineArbiter::advanceStep() {
    link_.step = nextStep(link_.step);
}

void LineArbiter::discardUndecoded() {
    const QString waiting = comm_.Input();
    log_.countReceived(waiting.size());
    if (const qsizetype lines = waiting.count(u'\n'); lines > 0) {
        panelAwaited_ = false;
        linesOwed_ = std::max<qint64>(0, linesOwed_ - lines);
    }
    decoder_.discardUndecoded();
}

// --- clients

bool LineArbiter::submitQuery(QObject* owner, const QString& query, ClientDone done) {
    return submit({Sender::Client, owner, {}, query, std::move(done)});
}

bool LineArbiter::submitCommand(QObject* owner, std::function<void()> command, ClientDone done) {
    return submit({Sender::Client, owner, std::move(command), {}, std::move(done)});
}

bool LineArbiter::submit(Request request) {
    if (clientsWaiting() >= MaxClientWaiting)
        return false;
    if (!comm_.PortOpen()) {
        if (request.done)
            request.done(ClientOutcome::Failed, {});
        return true;
    }
    queue_.push_back(std::move(request));
    pump();
    return true;
}

int LineArbiter::clientsWaiting() const {
    return int(std::count_if(queue_.begin(), queue_.end(),
                             [](const Request& r) { return !isPanel(r.sender); }));
}

int LineArbiter::panelHeld() const {
    return int(queue_.size()) - clientsWaiting();
}

void LineArbiter::pump() {
    if (pumping_)
        return;
    pumping_ = true;
    while (state_ == State::Free && !queue_.empty() && startNext()) {
    }
    pumping_ = false;
}

bool LineArbiter::startNext() {
    if (!comm_.PortOpen()) {
        portClosed();
        return false;
    }
    Request request = std::move(queue_.front());
    queue_.pop_front();
    if (isPanel(request.sender)) {
        request.run();
        return true;
    }
    if (!request.owner)
        return true;
    startClient(std::move(request));
    return true;
}

void LineArbiter::startClient(Request request) {
    if (!request.query.isEmpty()) {
        clientReply_.clear();
        if (!write(request.query)) {
            if (request.done)
                request.done(ClientOutcome::Failed, {});
            return;
        }
        log_.appendCommandLine(request.query);
        inFlight_ = std::move(request);
        enter(State::ClientReply, ClientReplyMs);
        return;
    }
    clientSending_ = true;
    clientBytes_ = 0;
    request.run();
    clientSending_ = false;
    if (clientBytes_ > 0 && state_ == State::Free)
        enter(State::ClientPacing, wireMs(clientBytes_));
    if (request.done)
        request.done(ClientOutcome::Answered, {});
}

qint64 LineArbiter::wireMs(qint64 bytes) const {
    const std::optional<LineSettings> line = LineSettings::parse(comm_.Settings());
    if (!line || line->baudRate <= 0)
        return 0;
    const int bitsPerChar =
        1 + line->dataBits + (line->parity == LineSettings::Parity::None ? 0 : 1) + line->stopBits;
    return (bytes * bitsPerChar * 1000 + line->baudRate - 1) / line->baudRate;
}

// --- what the supply sends

void LineArbiter::MSComm_OnComm() {
    if (comm_.CommEvent() != SerialControl::comEvReceive)
        return;
    const QString input = comm_.Input();
    log_.countReceived(input.size());
    switch (state_) {
    case State::Unsure:
        drop(input);
        break;
    case State::ClientReply:
        clientReceived(input);
        break;
    default:
        panelReceived(input);
        break;
    }
}

void LineArbiter::panelReceived(const QString& input) {
    if (state_ == State::Settling)
        quietUntil_ = clock_() + QuietMs;
    const qsizetype lines = input.count(u'\n');
    if (lines > 0) {
        panelAwaited_ = false;
        tickHeld_ = false;
        linesOwed_ = std::max<qint64>(0, linesOwed_ - lines);
        if (state_ == State::PanelReply) {
            if (linesOwed_ == 0) {
                enter(State::Free);
            } else {
                // Two queries were out; the other's line may still come.
                quietUntil_ = clock_() + QuietMs;
                enter(State::Settling);
            }
        }
    }
    armTimer();
    decoder_.received(input);
    pump();
}

void LineArbiter::clientReceived(const QString& input) {
    clientReply_ += input;
    const qsizetype lf = clientReply_.indexOf(u'\n');
    if (lf < 0) {
        if (clientReply_.size() > MaxClientReply)
            clientReply_.remove(0, clientReply_.size() - MaxClientReply);
        return;
    }
    // Whatever follows the reply's line answered nothing asked.
    const QString rest = clientReply_.mid(lf + 1);
    const QString line = clientReply_.left(lf + 1);
    enter(State::Free);
    finishClient(ClientOutcome::Answered, line);
    if (!rest.isEmpty())
        drop(rest);
    pump();
}

void LineArbiter::drop(const QString& input) {
    decoder_.countRejected(int(input.count(u'\n')));
    if (state_ == State::Unsure) {
        quietUntil_ = std::max(quietUntil_, clock_() + UnsureQuietMs);
        armTimer();
    }
}

// --- time and state

void LineArbiter::enter(State state, qint64 forMs) {
    state_ = state;
    deadline_ = clock_() + forMs;
    armTimer();
}

void LineArbiter::armTimer() {
    qint64 due = 0;
    switch (state_) {
    case State::Free:
    case State::Ticking:
        timer_.stop();
        return;
    case State::PanelReply:
        due = panelDeadline_;
        break;
    case State::Settling:
        if (panelAwaited_)
            due = panelDeadline_;
        else if (linesOwed_ > 0)
            due = std::max(quietUntil_, lastPanelQuery_ + LatestReplyMs);
        else
            due = quietUntil_;
        break;
    case State::ClientReply:
    case State::ClientPacing:
        due = deadline_;
        break;
    case State::Unsure:
        due = quietUntil_;
        break;
    }
    timer_.start(int(std::clamp<qint64>(due - clock_(), 1, PanelReplyMs)));
}

void LineArbiter::enterUnsure() {
    panelAwaited_ = false;
    linesOwed_ = 0;
    tickHeld_ = false;
    quietUntil_ = clock_() + UnsureQuietMs;
    // Text gathered under the step so far may be the late reply's beginning.
    decoder_.discardUndecoded();
    enter(State::Unsure);
}

void LineArbiter::giveUpPanelReply() {
    panelAwaited_ = false;
    tickHeld_ = false;
    quietUntil_ = clock_() + QuietMs;
    decoder_.dropNextLine();
    enter(State::Settling);
}

void LineArbiter::checkTime() {
    const qint64 now = clock_();
    switch (state_) {
    case State::PanelReply:
        if (now >= panelDeadline_)
            giveUpPanelReply();
        break;
    case State::Settling:
        if (panelAwaited_ && now >= panelDeadline_) {
            giveUpPanelReply();
        } else if (!panelAwaited_ && now >= quietUntil_ &&
                   (linesOwed_ == 0 || now - lastPanelQuery_ >= LatestReplyMs)) {
            // Every reply the panel asked for is in, or has had its time.
            linesOwed_ = 0;
            enter(State::Free);
            pump();
        }
        break;
    case State::ClientReply:
        if (now >= deadline_) {
            // What came may be the reply's beginning; the rest is dropped.
            const QString partial = std::exchange(clientReply_, {});
            enterUnsure();
            finishClient(ClientOutcome::NoReply, partial);
        }
        break;
    case State::ClientPacing:
        if (now >= deadline_) {
            enter(State::Free);
            pump();
        }
        break;
    case State::Unsure:
        if (now >= quietUntil_) {
            enter(State::Free);
            pump();
        }
        break;
    case State::Free:
    case State::Ticking:
        break;
    }
    armTimer();
}

void LineArbiter::finishClient(ClientOutcome outcome, const QString& reply) {
    if (!inFlight_)
        return;
    const Request request = std::move(*inFlight_);
    inFlight_.reset();
    clientReply_.clear();
    if (request.done)
        request.done(outcome, reply);
}

void LineArbiter::failClients() {
    if (inFlight_) {
        // Its reply may still come, as late as its time allows: it is
        // nobody's, and the line is unsure until then and quiet after.
        const qint64 replyDue = deadline_;
        enterUnsure();
        quietUntil_ = std::max(quietUntil_, replyDue + UnsureQuietMs);
        armTimer();
        finishClient(ClientOutcome::Failed, {});
    }
    std::deque<Request> failed;
    std::deque<Request> kept;
    for (Request& request : queue_)
        (isPanel(request.sender) ? kept : failed).push_back(std::move(request));
    queue_ = std::move(kept);
    for (const Request& request : failed)
        if (request.done)
            request.done(ClientOutcome::Failed, {});
}

void LineArbiter::dropHeld() {
    // Commands held behind a client's reply were asked for before the safe
    // step; none of them may follow it. A waiting polling tick stays.
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [](const Request& r) {
                                    return isPanel(r.sender) && r.sender != Sender::Polling;
                                }),
                 queue_.end());
}

void LineArbiter::portClosed() {
    linesOwed_ = 0;
    // A tick that waited does not run inside the closing: the next tick of
    // the cycle finds the port closed by itself.
    failClients();
    queue_.clear();
    panelAwaited_ = false;
    tickHeld_ = false;
    if (state_ != State::Ticking)
        enter(State::Free);
}
