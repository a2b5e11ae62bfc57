#pragma once
// The logging engine: an application-wide TLogEngine that carries records to
// its connections, and the sessions (TLogSession, see LogSession.h) that
// produce them. Connections are configured by a connection text such as
//   file(filename="/var/log/x.sil", maxsize="5120"), tcp(host="h", port="4228")
// and an engine failure never reaches the program: only a malformed
// connection text raises ELogEngineError.

#include "common/Exceptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

KELVANE_DECLARE_EXCEPTION(ELogEngineError, Exception)

enum class TLogLevel : int { Debug = 0, Verbose, Message, Warning, Error, Fatal, Control };

// What a record stands for; written by name into every record.
enum class TLogEntryKind : int {
  Separator,
  EnterMethod,
  LeaveMethod,
  EnterThread,
  LeaveThread,
  EnterProcess,
  LeaveProcess,
  ResetCallstack,
  Message,
  Debug,
  Verbose,
  Warning,
  Error,
  Fatal,
  Checkpoint,
  Assert,
  Value,
  Text,
  Binary,
  Graphic,
  Source,
  Object,
  System,
  Exception,
  Watch,
  Counter,
  Control,
  Custom,
};

QString LogLevelName(TLogLevel ALevel);        // "debug", "verbose", ...
QString LogEntryKindName(TLogEntryKind AKind); // "enter", "leave", "message", ...

struct TLogRecord {
  QDateTime Time; // local time; written with milliseconds and UTC offset
  TLogLevel Level = TLogLevel::Message;
  TLogEntryKind Kind = TLogEntryKind::Message;
  QString Session;
  QString Title;
  QString Data;
};

// One target of the connection text. It receives each record as a line in
// the form it asks for; WriteLine and Flush never throw, and a target that
// cannot deliver drops the line.
class TLogConnection {
public:
  virtual ~TLogConnection() = default;
  // The lowest level this target takes (its "level" option).
  virtual TLogLevel MinLevel() const noexcept = 0;
  // Human-readable text line instead of a JSON line.
  virtual bool WantsText() const noexcept { return false; }
  virtual void WriteLine(const QByteArray& ALine) noexcept = 0;
  virtual void Flush() noexcept {}
  // The records a mem(...) connection holds, oldest first, as JSON Lines;
  // empty for every other kind.
  virtual QByteArray Contents() const { return {}; }
};

class TLogEngine {
public:
  explicit TLogEngine(QString AAppName);
  ~TLogEngine();
  TLogEngine(const TLogEngine&) = delete;
  TLogEngine& operator=(const TLogEngine&) = delete;

  const QString& AppName() const noexcept { return FAppName; }

  bool Enabled() const noexcept { return FEnabled.load(std::memory_order_relaxed); }
  void SetEnabled(bool AValue) noexcept { FEnabled.store(AValue, std::memory_order_relaxed); }
  TLogLevel Level() const noexcept { return FLevel.load(std::memory_order_relaxed); }
  void SetLevel(TLogLevel AValue) noexcept { FLevel.store(AValue, std::memory_order_relaxed); }
  // The level of operations that are called without one.
  TLogLevel DefaultLevel() const noexcept { return FDefaultLevel.load(std::memory_order_relaxed); }
  void SetDefaultLevel(TLogLevel AValue) noexcept {
    FDefaultLevel.store(AValue, std::memory_order_relaxed);
  }

  // Replaces all connections. The whole text is checked first: a malformed
  // one raises ELogEngineError and leaves the current connections in place.
  void SetConnections(const QString& AConnections);
  QString Connections() const;
  bool HasConnections() const noexcept { return FHasConnections.load(std::memory_order_acquire); }

  void Dispatch(const TLogRecord& ARecord) noexcept;
  void Flush() noexcept;
  // JSON Lines held by the mem(...) connections, oldest first.
  QByteArray MemoryContents() const;

private:
  QString FAppName;
  std::atomic<bool> FEnabled{false};
  std::atomic<TLogLevel> FLevel{TLogLevel::Debug};
  std::atomic<TLogLevel> FDefaultLevel{TLogLevel::Message};
  std::atomic<bool> FHasConnections{false};
  mutable std::mutex FLock;
  QString FConnectionText;
  std::vector<std::unique_ptr<TLogConnection>> FConnections;
};
