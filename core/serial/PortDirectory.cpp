#include "PortDirectory.h"

#include "protocol/NumberText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

PortDirectory::PortDirectory(QString linkFolder, QString sysfsTty)
    : linkFolder_(std::move(linkFolder)), sysfsTty_(std::move(sysfsTty)) {}

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

QString PortDirectory::deviceForText(const QString& text) const {
    if (text.startsWith(u'/'))
        return text;
    return devicePath(portNumberFromText(text));
}

qint32 PortDirectory::ComPortExists(int port) const {
    const QString path = devicePath(port);
    if (path.isEmpty() || !isCharacterDevice(path))
        return 0;
    if (path.startsWith(linkFolder_))
        return 1;
    // Asking the serial driver itself would mean opening every device; its
    // port type in sysfs says the same. 0 is "no UART here".
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (!name.startsWith(QLatin1String("ttyS")))
        return 1;
    QFile type(sysfsTty_ + u'/' + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return 0;
    return type.readAll().trimmed().toInt() != 0 ? 1 : 0;
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
