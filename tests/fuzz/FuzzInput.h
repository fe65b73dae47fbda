#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// A property a target checks does not hold: prints which, and why, and
// aborts, which libFuzzer and the replay driver both report as a finding.
[[noreturn]] void violated(const char* property, const QString& detail);

// How a file target reads its input, so that inputs far below the fuzzer's
// length reach the bounds on a file's lines and size:
//   [0-1] a repeat count R (little-endian, up to 65535);
//   [2]   where the text's middle part begins, in 256ths of its length;
//   [3]   where it ends, likewise, when `endByte` (else it runs to the end);
//   then the target's own bytes up to `headerSize`, then the text.
// The file is `front`, the text before the middle part, the middle part
// R + 1 times (but not beyond one part past `maxBytes`), and the rest.
// An input shorter than the header is the file as it is.
struct FileLayout {
    std::size_t headerSize = 3;
    bool endByte = false;
    qsizetype maxBytes = 0;
    QByteArray front;
};
QByteArray fileOf(const std::uint8_t* data, std::size_t size, const FileLayout& layout);
