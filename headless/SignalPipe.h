#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT turned into a signal on the event loop: the handler
// only writes the signal's number into a socket pair, and a socket notifier
// reads it on the loop's thread, where the run can end properly.
class SignalPipe : public QObject {
    Q_OBJECT
public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    // False when the socket pair or the handlers could not be set up.
    bool isReady() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* notifier_ = nullptr;
    // Only the first pipe of a process installs the handlers.
    bool owner_ = false;
};
