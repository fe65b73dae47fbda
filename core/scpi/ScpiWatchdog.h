#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class SupplyModel;

// One script client's dead-man switch. Once armed for N seconds, the output
// goes to the safe state when the client has sent nothing for N seconds or
// its connection drops: a script that dies mid-test leaves nothing on. It
// fires once and is then disarmed; disarmed, a drop does nothing. Firing is
// a note of the model, so the recording and the event lines say which
// client's watchdog switched the output off.
class ScpiWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int Shortest = 1;
    static constexpr int Longest = 3600;

    // `client` names the client in the note; `switchOff` takes the supply to
    // its safe state.
    ScpiWatchdog(SupplyModel& model, QString client, std::function<void()> switchOff,
                 QObject* parent = nullptr);

    // Arms for `seconds` counted from now, or disarms for 0; false, and
    // nothing changed, outside 0 and Shortest to Longest.
    bool arm(int seconds);
    // The seconds armed for; 0 when disarmed.
    int seconds() const { return seconds_; }
    // The client sent something: the count starts again.
    void heard();
    // The client's connection is gone.
    void connectionLost();

private:
    void fire(const QString& why);

    SupplyModel& model_;
    QString client_;
    std::function<void()> switchOff_;
    QTimer silence_;
    int seconds_ = 0;
};
