#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Reopens a lost line: once started, it tries the reopening it was given
// every two seconds until one succeeds or it is stopped. It does nothing
// while switched off, which is how the panel starts.
class Reconnector : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 2000;
    // Reopens the same device with the same line settings; true when the
    // port is open again.
    using Attempt = std::function<bool()>;

    // Tests may try more often than the panel does.
    explicit Reconnector(Attempt attempt, int intervalMs = IntervalMs, QObject* parent = nullptr);

    bool isEnabled() const { return enabled_; }
    // Switching off stops any trying.
    void setEnabled(bool enabled);

    // Begins trying, the first time one interval from now; nothing while
    // switched off or already trying.
    void start();
    // The operator closed the port or took the line over: no more tries.
    void stop();
    bool isTrying() const { return timer_.isActive(); }

signals:
    void reopened();

private:
    void tryOnce();

    Attempt attempt_;
    QTimer timer_;
    bool enabled_ = false;
};
