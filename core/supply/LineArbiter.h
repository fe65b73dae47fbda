#pragma once

#include "protocol/Commands.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

class Notices;
class ReplyDecoder;
class SerialControl;
class TrafficLog;
struct LinkState;

// The one owner of the serial line. Every sender reaches the wire here: the
// polling cycle, the operator's buttons, a programmed run and script clients.
// It holds the line's state and one queue of requests, each tagged with its
// sender, and it alone reads what the supply sends and decides whose it is.
//
// The reply rule: a reply belongs to the oldest request still waiting for
// one. A client's query goes on the line only when no reply is awaited at all
// and the line is sure, so the first whole line (up to its LF) after it is
// the client's. The panel's queries (polling, identity) keep the cycle's own
// pace and are read by the decoder under the polling step, as the panel
// always has; its commands without a reply (settings, output, mode, channel)
// go out at once, as the buttons always did, except between a client's query
// and its reply, when they wait in the queue in order.
//
// A request whose reply does not come in time leaves the line unsure: a late
// reply may still be on its way, and nobody may take it for theirs.
//   - After a client's time-out every byte that arrives is dropped (its lines
//     counted as rejected, never decoded, never given to anyone) until the
//     line has been quiet for UnsureQuietMs; nothing that awaits a reply goes out
//     meanwhile, the polling tick included.
//   - After the panel gives a reply up (the polling query at the tick after
//     its extra interval, an identity query at the tick after its skipped
//     one, or either after PanelReplyMs), the cycle keeps its pace, and the
//     first line that arrives is taken for the late reply and dropped. The
//     line is sure again once every line the panel's queries may bring is in
//     (or the last query has had LatestReplyMs) and it has been quiet for
//     QuietMs: only then may a client's query go.
//   - A reply given up may also never come, and then the count of lines owed
//     stays one too high for as long as polling asks: the line would never be
//     sure again. So while a client waits on a settling line, the polling
//     tick waits behind it until the line is sure, and the client goes first.
//
// States:
//   Free          sure, nothing awaited: the next queued request may go.
//   Ticking       the polling tick runs (it yields between its step and its
//                 query): nothing of a client's goes out meanwhile.
//   PanelReply    a polling or identity query awaits its reply.
//   Settling      the panel gave a reply up, or a line it may still bring is
//                 owed; see above.
//   ClientReply   a client's query awaits its reply, at most ClientReplyMs.
//   ClientPacing  a client's command is on its way out: the next client
//                 request waits the time its bytes take on the wire, so one
//                 client cannot fill the line back to back. Polling and the
//                 panel go on.
//   Unsure        after a client's time-out; see above.
//
// The order of the queue: an owed output-off goes before everything (and
// throws out every client request, which fails, and the panel's held
// commands); then the panel's held commands and a waiting polling tick, in
// order; then clients' requests in arrival order.
class LineArbiter : public QObject {
    Q_OBJECT
public:
    enum class Sender { Polling, Operator, Run, Client };
    enum class State { Free, Ticking, PanelReply, Settling, ClientReply, ClientPacing, Unsure };
    enum class Echo { Logged, Silent };
    enum class Reply { None, Awaited };
    enum class TickGate { Go, Skip, Wait };
    enum class ClientOutcome { Answered, Failed, NoReply };

    // Short of a polling interval, so that a client finds the line sure
    // between one polling reply and the next tick.
    static constexpr int QuietMs = 300;
    // After a client's time-out: long enough for a reply half as late again
    // as its time, since the line is unsure only after a fault.
    static constexpr int UnsureQuietMs = 1000;
    static constexpr int PanelReplyMs = 1000;
    static constexpr int ClientReplyMs = 1000;
    // A supply answers within this time of a query or never: a reply later
    // still cannot be told from the answer to a later query by anyone.
    static constexpr int LatestReplyMs = ClientReplyMs + UnsureQuietMs;
    // The panel's commands held while a client's reply is awaited, and
    // clients' requests waiting, of all clients together.
    static constexpr int MaxHeld = 32;
    static constexpr int MaxClientWaiting = 64;
    // A client's reply kept at most while it is gathered.
    static constexpr int MaxClientReply = 1024;

    // Milliseconds on a steady clock; tests give their own.
    using Clock = std::function<qint64()>;
    // What became of a client's request; `reply` is its line (or what came
    // before its time ran out).
    using ClientDone = std::function<void(ClientOutcome outcome, const QString& reply)>;

    LineArbiter(LinkState& link, SerialControl& comm, TrafficLog& log, Notices& notices,
                ReplyDecoder& decoder, QObject* parent = nullptr);

    State state() const { return state_; }
    void setClock(Clock clock);
    // Acts on whatever time has run out; the line's timer calls it.
    void checkTime();

    // A command of the panel's (the operator's, or a programmed run's while
    // it sends). With the port closed, the port-closed message is shown and
    // nothing is sent. Once written, the polling step is `leave` when given.
    // True when written or held for a client's reply; false when the port is
    // closed, the line refused the write (which closes the port) or too
    // many commands are held already.
    bool sendCommand(const QString& command, Echo echo,
                     std::optional<PollingStep> leave = std::nullopt, Reply reply = Reply::None);
    bool isPortOpen() const;
    // The commands sent inside its lifetime are a programmed run's.
    class RunScope {
    public:
        explicit RunScope(LineArbiter& arbiter);
        ~RunScope();
        RunScope(const RunScope&) = delete;
        RunScope& operator=(const RunScope&) = delete;

    private:
        LineArbiter& arbiter_;
        Sender before_;
    };

    // An output-off (or another safe step) that is owed: every client
    // request waiting or on the line fails and is thrown out, the panel's
    // held commands with it, and the command is written at once. False when
    // it could not be written.
    bool sendOwed(const QString& command, PollingStep leave);

    // The polling tick asks whether it may run now; one that waits runs
    // (tickReady) once the line is free.
    TickGate tickGate();
    // Runs the tick's body with the line held for it.
    void runTick(const std::function<void()>& body);
    // The tick's query: written and logged with a lone LF; false when the
    // port is closed or the write was refused.
    bool sendQuery(const QString& query);
    void advanceStep();
    // Drops what the supply sent and nobody took up, before a query whose
    // reply must not be mixed with it.
    void discardUndecoded();

    // A client's query (its text ends in "CR") or command (run when its turn
    // comes; what it sends is paced). False when too many are waiting. A
    // request whose owner is gone before its turn is dropped; one on the line
    // is still finished, and `done` decides what to do with a gone owner.
    bool submitQuery(QObject* owner, const QString& query, ClientDone done);
    bool submitCommand(QObject* owner, std::function<void()> command, ClientDone done);
    int clientsWaiting() const;
    int panelHeld() const;

    // The receive event of the serial control.
    void MSComm_OnComm();
    // The port closed or was lost: every client request fails, nothing held
    // or waiting runs, and the line starts afresh when it opens again.
    void portClosed();

signals:
    // A polling tick that waited may run now.
    void tickReady();

private:
    struct Request {
        Sender sender = Sender::Client;
        QPointer<QObject> owner;
        // The panel's held command or a client's command: what to run.
        std::function<void()> run;
        // A client's query text; empty for a command.
        QString query;
        ClientDone done;
    };

    bool write(const QString& text);
    bool writePanel(const QString& command, Echo echo, std::optional<PollingStep> leave,
                    Reply reply);
    // A panel query went out; an identity query's skipped tick already was
    // its extra interval.
    void awaitPanelReply(bool heldAlready);
    bool mustHold(Reply reply) const;
    bool hold(Request request);
    bool tickQueued() const;
    void holdTick(bool behindClients);
    bool submit(Request request);
    void pump();
    bool startNext();
    void startClient(Request request);
    void panelReceived(const QString& input);
    void clientReceived(const QString& input);
    void drop(const QString& input);
    void enterUnsure();
    void giveUpPanelReply();
    void enter(State state, qint64 forMs = 0);
    void armTimer();
    void finishClient(ClientOutcome outcome, const QString& reply);
    void failClients();
    void dropHeld();
    qint64 wireMs(qint64 bytes) const;

    LinkState& link_;
    SerialControl& comm_;
    TrafficLog& log_;
    Notices& notices_;
    ReplyDecoder& decoder_;
    Clock clock_;
    QTimer timer_;
    State state_ = State::Free;
    Sender panelSender_ = Sender::Operator;
    // When a client's reply or pacing ends, when the panel gives its reply
    // up, and when an unsure or settling line counts as quiet.
    qint64 deadline_ = 0;
    qint64 panelDeadline_ = 0;
    qint64 quietUntil_ = 0;
    // A panel query's reply is outstanding (no LF since it went out), and
    // the cycle has held one interval for it already.
    bool panelAwaited_ = false;
    // Lines the panel's queries may still bring (a reply given up may come
    // late, ahead of the next one's), and when the last of them was asked.
    qint64 linesOwed_ = 0;
    qint64 lastPanelQuery_ = 0;
    bool tickHeld_ = false;
    // The tick found the line settling, and leaves it so.
    bool tickSettling_ = false;
    bool pumping_ = false;
    // A client's command is running: the bytes it writes are paced.
    bool clientSending_ = false;
    qint64 clientBytes_ = 0;
    std::deque<Request> queue_;
    std::optional<Request> inFlight_;
    QString clientReply_;
};
