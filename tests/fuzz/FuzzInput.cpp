#include "FuzzInput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

void violated(const char* property, const QString& detail) {
    std::fprintf(stderr, "property violated: %s: %s\n", property, qUtf8Printable(detail));
    std::abort();
}

QByteArray fileOf(const std::uint8_t* data, std::size_t size, const FileLayout& layout) {
    if (size < layout.headerSize)
        return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    const int repeats = data[0] | (data[1] << 8);
    const QByteArray text(reinterpret_cast<const char*>(data) + layout.headerSize,
                          qsizetype(size - layout.headerSize));
    const qsizetype begin = text.size() * data[2] / 256;
    const qsizetype end =
        layout.endByte ? std::max(begin, text.size() * data[3] / 256) : text.size();
    QByteArray file = layout.front + text.left(begin);
    const QByteArray middle = text.mid(begin, end - begin);
    for (int i = 0; i <= repeats && file.size() <= layout.maxBytes; ++i)
        file += middle;
    return file + text.mid(end);
}
