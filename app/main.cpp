#include "app/AppId.h"
#include "app/Translations.h"
#include "app/VelmorMain.h"
#include "control/CommandLine.h"
#include "serial/QtSerialControl.h"

#include <QApplication>

#include <memory>

namespace {

QStringList rawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    // Help and version need no display: they are answered before the
    // toolkit starts. Anything else is read once Qt has taken its own
    // options (-platform, -style...) off the command line.
    const CommandLine early = CommandLine::parse(rawArguments(argc, argv), Program::window());
    if (early.outcome == CommandLine::Outcome::Help ||
        early.outcome == CommandLine::Outcome::Version)
        return early.finish();

    QApplication app(argc, argv);
    const CommandLine line = CommandLine::parse(QCoreApplication::arguments(), Program::window());
    if (line.outcome != CommandLine::Outcome::Run)
        return line.finish();
    const Translations translations(
        chooseLanguage(line.options.language, QProcessEnvironment::systemEnvironment()));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QLatin1String(AppId));

    PortDirectory ports(PortDirectory::defaultLinkFolder());
    auto comm = std::make_unique<QtSerialControl>(ports);
    VelmorMain window(std::move(comm), ports);
    window.show();
    window.launch(line.options);
    return app.exec();
}
