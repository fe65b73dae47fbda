#pragma once

#include "ProgramStep.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>

// The list file of a programmed run: CSV with the header
// "voltage_V,current_A,dwell_s,output", one step a line, "." as the decimal
// point whatever the locale, "on" or "off" for the output; optionally a fifth
// column "until", empty or a step's end condition ("I<0.05"). Also what a
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
            Condition,
        };
        Kind kind;
        int line = 0;   // 1 for the header; 0 for the file as a whole
        int column = 0; // 1 to 5 where a field is wrong
        // The system's reason for Unreadable; the header whose columns a
        // line lacks for ColumnCount.
        QString detail;
    };
    struct Result {
        ProgramSteps steps;
        std::optional<Problem> problem;
        // The file had the "until" column: saved again, it keeps it.
        bool withUntil = false;
    };

    static QString header(bool withUntil = false);
    static Result parse(const QByteArray& bytes);
    static Result read(const QString& path);
    // The header and one line per step, in the shortest numbers that read
    // back the same; the "until" column when asked for or when a step has a
    // condition.
    static QByteArray text(const ProgramSteps& steps, bool withUntil = false);
    // False with the system's reason when the file cannot be written whole.
    static bool write(const QString& path, const ProgramSteps& steps, QString* error,
                      bool withUntil = false);
    // One sentence for the operator, naming the line.
    static QString describe(const Problem& problem);
};
