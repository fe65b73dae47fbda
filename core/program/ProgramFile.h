#pragma once

#include "ProgramStep.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>

// The list file of a programmed run: CSV with the header
// "voltage_V,current_A,dwell_s,output", one step a line, "." as the decimal
// point whatever the locale, "on" or "off" for the output. Also what a
// spreadsheet makes of it: a byte-order mark, CR LF line ends, quoted fields,
// blanks around fields, empty trailing columns, empty lines, any case in the
// header and the output. A file with one bad line is refused whole, the line
// named.
class ProgramFile {
    Q_DECLARE_TR_FUNCTIONS(ProgramFile)
public:
    // Far above what MaxSteps lines take; read no further.
    static constexpr qint64 MaxBytes = 1 << 20;
    static constexpr int MaxLineLength = 1024;

    struct Problem {
        enum class Kind {
            Unreadable,
            TooLarge,
            NotUtf8,
            NoHeader,
            ColumnCount,
            NotANumber,
            Dwell,
            Output,
            TooManySteps,
            NoSteps,
            LineTooLong,
        };
        Kind kind;
        int line = 0;   // 1 for the header; 0 for the file as a whole
        int column = 0; // 1 to 4 where a field is wrong
        QString detail; // the system's reason for Unreadable
    };
    struct Result {
        ProgramSteps steps;
        std::optional<Problem> problem;
    };

    static QString header();
    static Result parse(const QByteArray& bytes);
    static Result read(const QString& path);
    // The header and one line per step, in the shortest numbers that read
    // back the same.
    static QByteArray text(const ProgramSteps& steps);
    // False with the system's reason when the file cannot be written whole.
    static bool write(const QString& path, const ProgramSteps& steps, QString* error);
    // One sentence for the operator, naming the line.
    static QString describe(const Problem& problem);
};
