#pragma once
// The connection text and the targets it names.
//
// Grammar: a comma-separated list of `protocol(option="value", ...)`, blanks
// allowed between tokens. Protocols and options (case-insensitive):
//   file(filename, maxsize, maxparts, append, reconnect, level)
//       JSON Lines to a file; maxsize in KiB (0 = no rotation, default 0),
//       maxparts = files kept including the current one (default 5), append
//       (default false: the file starts empty).
//   text(...)  the same options as file, human-readable lines:
//       "2026-12-10 06:06:35.123 message kelvane [message] title | data"
//   tcp(host, port, reconnect, timeout, level)
//       JSON Lines to a viewer; host default 127.0.0.1, port default 4228
//       (a port outside 1..65535 never connects), timeout = connect timeout
//       in milliseconds (default 2000).
//   pipe(pipename, reconnect, level)
//       JSON Lines to the Unix-domain socket PipeSocketPath(pipename);
//       pipename default "kelvane".
//   mem(maxsize, reconnect, level)
//       the newest records within maxsize KiB (default 2048) in memory.
// Values are quoted with '"' (a doubled '""' inside stands for one '"') or
// written bare up to the next ',' or ')'. Booleans: true/false, yes/no, 1/0.
// Levels: debug, verbose, message, warning, error, fatal, control.
//
// TCP and pipe targets deliver from a worker thread: records written while
// connecting wait in a bounded queue (MaxQueuedBytes); when a connection
// attempt fails they are dropped, and so is every record until the target is
// connected again. With reconnect="true" the worker retries after 0.5 s,
// doubling up to 30 s; otherwise it gives up after the first failure. On
// destruction a connected worker gets up to one second to deliver its queue.

#include "logging/LogEngine.h"

#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

inline constexpr qint64 MaxQueuedBytes = 4 * 1024 * 1024;

struct TConnectionSpec {
  QString Protocol;                                 // lower case
  std::vector<std::pair<QString, QString>> Options; // names lower case, in text order
  QString Option(const QString& AName, const QString& ADefault = {}) const;
};

// Raises ELogEngineError naming the position and the problem.
std::vector<TConnectionSpec> ParseConnectionText(const QString& AText);
// Raises ELogEngineError for an option value of the wrong form.
std::unique_ptr<TLogConnection> CreateConnection(const TConnectionSpec& ASpec);

QByteArray FormatJsonLine(const TLogRecord& ARecord);
QByteArray FormatTextLine(const TLogRecord& ARecord);

// $XDG_RUNTIME_DIR/<name>.sock, or /tmp/kelvane-<uid>/<name>.sock when
// XDG_RUNTIME_DIR is unset or empty.
QString PipeSocketPath(const QString& APipeName);

// A folder the program may write its log into: an existing directory, not a
// link, owned by the effective user and not writable by group or others.
bool IsOwnFolder(const QString& AFolder);
