#pragma once

#include "reports/tablewriter.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class QIODevice;

namespace reports {

// The chronotally-report program apart from its process: it reads its arguments, opens the
// station's database read-only (the settings store's database values, like the station, or
// the embedded file of --db), and writes the punch lines of Run Report, the payroll summary,
// the exceptions list or the audit trail for a range of work dates (or the pay period that
// holds a date) in a format. Long runs report progress on
// standard error about once a second.
class ReportCommand
{
public:
    enum ExitCode { Done = 0, DatabaseError = 1, BadArguments = 2 };
    enum class Mode { Punches, Summary, Audit, Exceptions };

    struct Options {
        QDate from;
        QDate to;
        // --period: the pay period holding this date, by the database's rules, gives from
        // and to once the database is open.
        QDate period;
        QStringList employees; // empty: everyone
        Mode mode = Mode::Punches;
        OutputFormat format = OutputFormat::Csv;
        QString output;   // empty: standard output
        QString dbFolder; // empty: the station's own database
        bool quiet = false;
        bool help = false;
    };

    static const QString ProgramName;
    static const QString Usage;

    // The options of an argument list whose first entry is the program; nullopt with the
    // problem when they cannot be used.
    static std::optional<Options> parse(const QStringList &arguments, QString *problem);

    ReportCommand(QIODevice &standardOutput, QIODevice &standardError);

    // Runs with an argument list whose first entry is the program and returns the exit code:
    // 0 done; 1 the database or the output failed, its description on standard error; 2 bad
    // arguments, the problem and the usage on standard error.
    int run(const QStringList &arguments);

    // The least time between two progress lines; 0 reports every step (tests).
    void setProgressInterval(int milliseconds) { m_progressInterval = milliseconds; }

private:
    int fail(const QString &description);

    QIODevice &m_out;
    QIODevice &m_err;
    int m_progressInterval = 1000;
};

} // namespace reports
