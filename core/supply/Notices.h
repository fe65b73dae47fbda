#pragma once

#include <QObject>
#include <QString>

// What the link tells the operator: a line of text that stays a while, and
// the two boxes that wait for a click. A box is announced synchronously, so
// the link goes on only once the front end has shown it and it was
// dismissed.
class Notices : public QObject {
    Q_OBJECT
public:
    static const QString PortClosed;  // "串口没有打开，请打开串口"
    static const QString PortMissing; // "没有发现此串口或被占用"
    // One of the texts above in the operator's language, as message() carries it.
    static QString translated(const QString& text);

    using QObject::QObject;

signals:
    void message(const QString& text);
    void messageCleared();
    // An opening that failed twice.
    void openFailed();
    // A setpoint outside its limits.
    void outOfRange();
};
