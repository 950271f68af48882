#pragma once

#include <QCommandLineParser>
#include <QStringList>

// The command-line front end: sweeps the rows of a session file on the same
// core as the window, with no display needed, once or every interval, and
// prints each row as its test completes:
//
//   lumeo --sweep FILE.lu [--format text|csv|json|openmetrics] [--output FILE]
//                         [--parallel N] [--timeout MS] [--probe-ports LIST]
//   lumeo --monitor FILE.lu [--interval S] [the same options]
//
// The echo settings are the user's stored ones (the Settings dialog's),
// the options overriding them; nothing is written back.
namespace cli {

// The exit statuses: every row answered (or a monitor was ended by a
// signal); some did not; the command line or the file could not be used.
constexpr int kAllAnswered = 0;
constexpr int kSomeSilent = 1;
constexpr int kUnusable = 2;

// The options of the front end, for the program's --help as well.
void describeOptions(QCommandLineParser &parser);

// Whether ARGUMENTS (the program's own name first) ask for the
// command-line front end.
bool wanted(const QStringList &arguments);

// Runs it inside a QCoreApplication the caller has made; returns the exit
// status. Writes the rows to standard output (or --output) and what went
// wrong to standard error.
int run(const QStringList &arguments);

} // namespace cli
