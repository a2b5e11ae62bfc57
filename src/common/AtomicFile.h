#pragma once
// Replaces a file as a whole: the bytes go to a fresh file made exclusively
// in the same folder, are flushed to disk, and that file is renamed over the
// path. A crash or a full disk leaves the old file or the new one, never a
// half-written one, and rename(2) replaces a link planted at the path
// instead of writing through it.

#include <QByteArray>
#include <QString>

#include <optional>

// nullopt on success, else why the file could not be written (the system's
// error text).
std::optional<QString> WriteFileAtomically(const QString& AFileName, const QByteArray& AData);
