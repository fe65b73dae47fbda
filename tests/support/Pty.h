#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests: the program opens the slave side (as
// COMn through a link), the test reads and writes the master side. Closing
// the master is exactly a pulled USB adapter.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return master_ >= 0; }
    const QString& slavePath() const { return slavePath_; }
    // Publishes the slave as comN in the folder.
    bool linkAs(const QString& folder, int port) const;

    void write(const QByteArray& bytes) const;
    // Reads what arrives within the time given, until `until` bytes came.
    QByteArray read(int timeoutMs, int until = 1 << 20) const;
    // Whether the slave is in raw mode, as the program leaves a port it
    // opened. A new pty starts in cooked mode. (A pty keeps its own baud
    // rate, data bits, parity and stop bits whatever it is asked.)
    bool slaveIsRaw() const;
    // Closes the master (and the test's own slave descriptor, kept open for
    // reading the slave's settings).
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

// CPU time (user + system) this process has used, in milliseconds.
double processCpuMs();
