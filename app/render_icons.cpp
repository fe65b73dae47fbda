// Writes the window's icon as a PNG file of a given size, for the icon theme
// folders of the installed program: render_icons OUTPUT.png SIDE

#include "Pictures.h"

#include <QImage>
#include <QString>

#include <cstdio>

namespace {

// The sizes an icon theme holds bitmaps for go no further.
constexpr int kLargestSide = 1024;

int usage() {
    std::fprintf(stderr, "usage: render_icons OUTPUT.png SIDE (SIDE from 1 to %d)\n", kLargestSide);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return usage();
    bool isNumber = false;
    const int side = QString::fromLocal8Bit(argv[2]).toInt(&isNumber);
    if (!isNumber || side < 1 || side > kLargestSide)
        return usage();
    const QString output = QString::fromLocal8Bit(argv[1]);
    if (!Pictures::windowIconImage(side).save(output, "PNG")) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
