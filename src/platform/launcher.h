#pragma once

#include <QStringList>

#include <functional>

namespace platform {

// Starts outside programs without waiting for them. A command line is one text, as the
// station builds it: the program path, a blank, and one argument text. In scripted mode
// (tests) nothing is started and the command lines are recorded.
class Launcher
{
public:
    // Returns whether a program was started. The program is the longest prefix of the
    // command line, cut at a blank, that names an executable file; the rest after that
    // blank is passed as one argument.
    static bool start(const QString &commandLine);

    // Called once a watched program has ended: its exit code (-1 when it could not be started
    // or did not end normally), its standard output and its standard error.
    using Finished = std::function<void(int exitCode, const QString &output, const QString &errors)>;
    // Starts the program as start() does, still without waiting, and calls finished from the
    // event loop when it ends. A program that cannot be started is not reported (false). In
    // scripted mode it is recorded like any start and finished is never called.
    static bool start(const QString &commandLine, Finished finished);

    static void setScripted(bool on);
    static QStringList started();
    static void clearStarted();

    // Splits a command line into program and argument text by the rule above, checking
    // candidate programs with isExecutable. Without a match the program is the text up to
    // the first blank.
    static QPair<QString, QString> split(const QString &commandLine);
};

} // namespace platform
