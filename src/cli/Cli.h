#pragma once

// The whole program behind main(): options, help, the signal handler,
// hidapi's start and end, the command. Programs differ only in the hidapi
// they are linked with.

#include <QByteArray>
#include <QStringList>

#include <cstdio>

namespace cli {

// `arguments` without the program's name. `terminal` says whether `out` is a
// terminal (progress bar) or not (a line per 10 %). Returns the exit code.
int runCli(const QStringList &arguments, FILE *out, FILE *err, bool terminal);

// The --help text.
const char *helpText();

// What a program that runs the tool in-process (a test, a benchmark) had it
// write to a temporary file: everything from the start. Closes the file.
QByteArray readBack(FILE *file);

} // namespace cli
