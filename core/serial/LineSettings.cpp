#include "LineSettings.h"

#include <QStringList>

namespace {

bool allDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

std::optional<LineSettings> LineSettings::parse(const QString& text) {
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings settings;
    bool ok = false;
    if (!allDigits(fields[0]))
        return std::nullopt;
    settings.baudRate = fields[0].toInt(&ok);
    if (!ok || settings.baudRate <= 0)
        return std::nullopt;

    if (fields[1].size() != 1)
        return std::nullopt;
    switch (fields[1].at(0).toUpper().unicode()) {
    case u'N':
        settings.parity = Parity::None;
        break;
    case u'O':
        settings.parity = Parity::Odd;
        break;
    case u'E':
        settings.parity = Parity::Even;
        break;
    case u'S':
        settings.parity = Parity::Space;
        break;
    case u'M':
        settings.parity = Parity::Mark;
        break;
    default:
        return std::nullopt;
    }

    if (!allDigits(fields[2]) || !allDigits(fields[3]))
        return std::nullopt;
    settings.dataBits = fields[2].toInt(&ok);
    if (!ok || settings.dataBits < 5 || settings.dataBits > 8)
        return std::nullopt;
    settings.stopBits = fields[3].toInt(&ok);
    if (!ok || (settings.stopBits != 1 && settings.stopBits != 2))
        return std::nullopt;
    return settings;
}
