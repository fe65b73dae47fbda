#include "SimBench.h"

#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

SimBench::SimBench(const QStringList& simOptions) {
    log = folder.path() + QStringLiteral("/commands.log");
    ready = startSim(simOptions);
    window = std::make_unique<VelmorMain>(
        std::make_unique<QtSerialControl>(PortDirectory(folder.path())),
        PortDirectory(folder.path()));
    window->messageBoxes().replaceShower([this](const MessageBoxes::Box&) { ++boxes; });
    window->show();
}

SimBench::~SimBench() {
    window.reset();
    stopSim();
}

bool SimBench::startSim(const QStringList& simOptions) {
    sim.setProgram(QStringLiteral(VELMOR_SIM_BINARY));
    sim.setArguments(
        QStringList{"--com", "200", "--link-dir", folder.path(), "--log", log, "--quiet"} +
        simOptions);
    sim.setStandardInputFile(QProcess::nullDevice());
    sim.start();
    if (!sim.waitForStarted(5000))
        return false;
    const QString link = folder.path() + QStringLiteral("/com200");
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(link) && clock.elapsed() < 5000)
        QTest::qWait(10);
    return QFile::exists(link);
}

void SimBench::stopSim() {
    if (sim.state() == QProcess::NotRunning)
        return;
    sim.terminate();
    sim.waitForFinished(3000);
}

QString SimBench::text(const char* name) const {
    QObject* object = window->findChild<QObject*>(name);
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return edit->text();
    return qobject_cast<QAbstractButton*>(object)->text();
}

void SimBench::press(const char* name) {
    window->findChild<QAbstractButton*>(name)->click();
}

void SimBench::choose(const char* list, const QString& item) {
    auto* combo = window->findChild<QComboBox*>(list);
    const int index = combo->findText(item);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

bool SimBench::open() {
    auto* ports = window->findChild<QComboBox*>("CboCom");
    ports->setEditText(QStringLiteral("COM200"));
    press("CmdSwitch");
    return window->MSComm().PortOpen();
}

void SimBench::tick(int waitMs) {
    const TrafficLog& log = window->trafficLog();
    const qint64 before = log.rxCount();
    const qint64 sent = log.txCount();
    window->polling().SysTickTimer_Timer();
    // A tick that held back sent nothing: there is no reply to wait for.
    if (log.txCount() == sent)
        return;
    QElapsedTimer clock;
    clock.start();
    while (log.rxCount() == before && clock.elapsed() < waitMs)
        QTest::qWait(2);
    // A reply in pieces is read once the line has been quiet for a moment.
    qint64 seen = -1;
    while (seen != log.rxCount() && clock.elapsed() < waitMs) {
        seen = log.rxCount();
        QTest::qWait(20);
    }
}

void SimBench::cycles(int count) {
    for (int i = 0; i < count * 18; ++i)
        tick();
}

QStringList SimBench::commandsReceived() const {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
