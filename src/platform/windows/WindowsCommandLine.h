#pragma once
// Windows hands a program its arguments as one line of text, which the
// program's C runtime (or CommandLineToArgvW) splits again.

#include <QString>
#include <QStringList>

// The command line that starts AProgram (a path, quoted as a whole) with
// AArguments, each quoted so that the usual splitting gives it back
// unchanged: spaces, tabs, quotes, backslashes before quotes and empty
// arguments included.
QString WindowsCommandLine(const QString& AProgram, const QStringList& AArguments);
