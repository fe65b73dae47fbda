#pragma once

#include <QString>

#include <optional>

// A line settings text such as "9600,N,8,1": baud rate, parity letter, data
// bits and stop bits.
struct LineSettings {
    enum class Parity { None, Odd, Even, Space, Mark };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    // Accepts any positive whole baud rate, parity N, O, E, S or M in either
    // case, data bits 5 to 8 and stop bits 1 or 2; nothing else.
    static std::optional<LineSettings> parse(const QString& text);
};
