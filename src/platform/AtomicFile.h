#pragma once
// Replaces a file as a whole: the bytes go to a fresh file made exclusively
// in the same folder, and only once all of them are written is that file
// renamed over the path. A crash of the program or a full disk leaves the
// old file or the new one, never a half-written one, and the rename replaces
// a link planted at the path instead of writing through it.
//
// The file is not forced to disk (no fsync): every file the program
// replaces is a working file of its own that it writes anew at each start
// before reading it, so surviving a power cut buys nothing, and forcing it
// cost half a millisecond per file, a tenth of `kelvane --print`.

#include <QByteArray>
#include <QString>

#include <optional>

// nullopt on success, else why the file could not be written (the system's
// error text).
std::optional<QString> WriteFileAtomically(const QString& AFileName, const QByteArray& AData);
