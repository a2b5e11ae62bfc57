#pragma once
// Messages for the person who started the program, on standard error.

#include <QString>

// One line: "kelvane: " and AMessage, control characters escaped, so a
// name inside the message (a path, a variable's value) can neither forge a
// line nor send a sequence to the terminal.
void PrintDiagnostic(const QString& AMessage);
