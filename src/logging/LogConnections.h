#pragma once
// The connection text and the targets it names.
//
// Grammar: a comma-separated list of `protocol(option="value", ...)`, blanks
// allowed between tokens; empty or blank text names no target. Protocols and
// options (case-insensitive):
//   file(filename, maxsize, maxparts, append, reconnect, level)
//       JSON Lines to a file; maxsize in KiB (0 = no rotation, default 0),
//       maxparts = files kept including the current one (default 5): x.sil
//       rotates to x.1.sil, x.2.sil, ... and the oldest is removed. append
//       (default false) keeps what the file holds; otherwise the first open
//       empties it. A file that cannot be opened is retried every 5 s with
//       reconnect="true"; otherwise the target falls silent.
//   text(...)  the same options as file, human-readable lines:
//       "2026-12-10 06:06:35.123 message kelvane [message] title | data"
//       (local time, level, session, [kind], title, " | data" when there is
//       data); '\' and line breaks in session, title and data are written as
//       \\, \n, \r, \t, other control characters as blanks.
//   tcp(host, port, reconnect, timeout, level)
//       JSON Lines to a viewer; host default 127.0.0.1, port default 4228 (a
//       port of 0 or above 65535 is accepted and never connects), timeout =
//       connect timeout in milliseconds (default 2000).
//   pipe(pipename, reconnect, level)
//       JSON Lines to the local endpoint PipeSocketPath(pipename): a
//       Unix-domain socket on Linux, a named pipe on Windows; pipename
//       default "kelvane".
//   mem(maxsize, reconnect, level)
//       the newest records within maxsize KiB (default 2048) in memory;
//       reconnect is accepted and means nothing here.
// Values are quoted with '"' (a doubled '""' inside stands for one '"') or
// written bare up to the next ',' or ')'. Booleans: true/false, yes/no, 1/0.
// Levels (the lowest level the target takes, default debug): debug, verbose,
// message, warning, error, fatal, control.
//
// A JSON line holds, in this order, time (local, milliseconds, UTC offset),
// level, session, kind, title and data:
//   {"time":"2026-12-10T06:06:35.123+00:00","level":"message","session":"kelvane",
//    "kind":"message","title":"Started","data":""}
// (on one line). Control characters are written \u00XX, a lone surrogate as
// U+FFFD.
//
// TCP and pipe targets deliver from a worker thread of their own, so the
// caller never waits for a name look-up, a connect or a slow viewer. Records
// written while connecting wait in a queue of at most MaxQueuedBytes; when it
// is full the newest record is dropped, so what arrives is a gapless start.
// When a connect attempt fails, or the viewer closes the connection, the
// queue is dropped, and so is every record until the target is connected
// again. With reconnect="true" the worker retries after FirstRetryDelay,
// doubling up to LastRetryDelay; otherwise it gives up after the first
// failure. A target destroyed while connected gets up to its grace
// (StopGrace) to deliver its queue, so a program's last records still reach
// the viewer. One that is not connected then is dropped at once: its first
// attempt is still made, or finished, if the viewer answers without a wait
// (a short-lived program still reaches a local viewer), but nothing waits
// for a viewer that does not answer, and no retry follows.

#include "logging/LogEngine.h"

#include <QString>

#include <chrono>
#include <memory>
#include <vector>

inline constexpr qint64 MaxQueuedBytes = 4 * 1024 * 1024;
inline constexpr std::chrono::milliseconds FirstRetryDelay{500};
inline constexpr std::chrono::milliseconds LastRetryDelay{30000};
inline constexpr std::chrono::milliseconds StopGrace{1000};

struct TConnectionOption {
  QString Name; // lower case
  QString Value;
  qsizetype Position = 0; // of the value in the connection text, from 0
};

struct TParsedConnection {
  QString Protocol; // lower case
  qsizetype Position = 0;
  std::vector<TConnectionOption> Options; // in text order
  // The last value given for AName, or ADefault (null) when there is none.
  const TConnectionOption* Find(const QString& AName) const;
  QString Option(const QString& AName, const QString& ADefault = {}) const;
};

// A connection with its options read and checked.
struct TConnectionSettings {
  enum class TKind { File, Text, Tcp, Pipe, Mem };
  TKind Kind = TKind::Mem;
  TLogLevel Level = TLogLevel::Debug;
  bool Reconnect = false;
  QString FileName;
  qint64 MaxBytes = 0; // file rotation threshold, or what mem keeps
  int MaxParts = 5;
  bool Append = false;
  QString Host = QStringLiteral("127.0.0.1");
  qint64 Port = 4228;
  int TimeoutMs = 2000;
  QString PipeName = QStringLiteral("kelvane");
  // How long a connected tcp or pipe target may go on delivering its queue
  // once it is destroyed; not part of the connection text.
  std::chrono::milliseconds Grace = StopGrace;
};

// Both raise ELogEngineError naming the position in the text and the problem.
std::vector<TParsedConnection> ParseConnectionText(const QString& AText);
TConnectionSettings ReadConnectionSettings(const TParsedConnection& AConnection);

// Never raises for settings that ReadConnectionSettings produced; a target
// whose resources cannot be had drops its records.
std::unique_ptr<TLogConnection> CreateConnection(const TConnectionSettings& ASettings);

QByteArray FormatJsonLine(const TLogRecord& ARecord);
QByteArray FormatTextLine(const TLogRecord& ARecord);

// The local endpoint of a pipe target: on Linux $XDG_RUNTIME_DIR/<name>.sock,
// or /tmp/kelvane-<euid>/<name>.sock when XDG_RUNTIME_DIR is unset or empty;
// on Windows \\.\pipe\<name>. The target connects only to an endpoint
// nobody else could have put there (see TStreamConnection::ConnectLocal), so
// no other user's listener gets the log.
QString PipeSocketPath(const QString& APipeName);
