#include "PortDirectory.h"

#include "protocol/NumberText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

struct TableRange {
    int first;
    const char* prefix;
};

// Each range covers 32 port numbers.
constexpr TableRange kTable[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kRangeSize = 32;

bool isCharacterDevice(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

PortDirectory::PortDirectory(QString linkFolder) : linkFolder_(std::move(linkFolder)) {}

QString PortDirectory::defaultLinkFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/velmor/ports");
}

QString PortDirectory::linkPath(int port) const {
    return linkFolder_ + QStringLiteral("/com") + QString::number(port);
}

QString PortDirectory::devicePath(int port) const {
    if (port < FirstPort || port > LastPort)
        return {};
    const QString link = linkPath(port);
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return link;
    for (const TableRange& range : kTable)
        if (port >= range.first && port < range.first + kRangeSize)
            return QLatin1String(range.prefix) + QString::number(port - range.first);
    return {};
}

void PortDirectory::refreshListing() {
    listed_.clear();
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        listed_.insert(info.systemLocation());
}

qint32 PortDirectory::ComPortExists(int port) const {
    const QString path = devicePath(port);
    if (path.isEmpty())
        return 0;
    if (path.startsWith(linkFolder_))
        return isCharacterDevice(path) ? 1 : 0;
    return listed_.contains(path) ? 1 : 0;
}

quint8 portNumberFromText(const QString& text) {
    QString rest = text;
    rest.remove(QStringLiteral("COM"));
    rest.remove(u' ');
    const double number = NumberText::roundHalfEven(NumberText::leadingNumber(rest));
    if (!(number >= 0.0 && number <= 255.0))
        return 0;
    return static_cast<quint8>(number);
}
