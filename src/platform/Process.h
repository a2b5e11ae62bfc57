#pragma once
// Starting the program's companion executables.

#include <QString>

// Runs the program AName that lies beside this executable in place of this
// process: the same process, arguments (argv, ending with a null pointer)
// and environment. Returns only when that fails, with the reason.
QString RunSiblingProgram(const QString& AName, char** AArguments);
