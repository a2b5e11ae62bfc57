#pragma once
// The spdlog sinks under the connections; only the logging engine uses them.
// Each takes a finished line (without its line break) as the message payload.

#include "logging/LogConnections.h"
#include "platform/SafeFolder.h"

#include <QByteArray>
#include <QString>

#include <spdlog/sinks/base_sink.h>

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// A file opened without following links, in a folder that is ours and was
// reached safely (see platform/SafeFolder.h), rotated by size into
// <base>.1<ext> ... <base>.<parts-1><ext>.
class TFileSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  TFileSink(const QString& AFileName, qint64 AMaxBytes, int AMaxParts, bool AAppend,
            bool AReconnect);

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override;
  void flush_() override {}

private:
  QString partName(int AIndex) const;
  bool openFile();
  void rotate();

  QString FFolderPath;
  QString FName;
  qint64 FMaxBytes;
  int FMaxParts;
  bool FTruncate;
  bool FReconnect;
  bool FGaveUp = false;
  TSafeFolder FFolder;
  TAppendFile FFile;
  qint64 FSize = 0;
  std::optional<std::chrono::steady_clock::time_point> FLastAttempt;
};

// The newest lines within a byte bound.
class TMemorySink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  explicit TMemorySink(qint64 AMaxBytes) : FMaxBytes(AMaxBytes) {}
  QByteArray Contents();

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override;
  void flush_() override {}

private:
  qint64 FMaxBytes;
  qint64 FBytes = 0;
  std::deque<QByteArray> FLines;
};

// Where a stream sink connects to: a TCP host and port, or a local endpoint
// (platform/StreamConnection.h).
struct TStreamTarget {
  bool Local = false;
  QString Host; // the endpoint's path when Local
  qint64 Port = 0;
  int TimeoutMs = 2000;
  std::chrono::milliseconds Grace = StopGrace;
};

struct TStreamState;

// Hands lines to a worker thread that connects and sends them; see
// LogConnections.h for the queue, retry and shutdown rules.
class TStreamSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
  TStreamSink(TStreamTarget ATarget, bool AReconnect);
  ~TStreamSink() override;

protected:
  void sink_it_(const spdlog::details::log_msg& AMsg) override;
  void flush_() override {}

private:
  // Shared with the worker, which may outlive the sink while a name look-up
  // it cannot interrupt is still running.
  std::shared_ptr<TStreamState> FState;
  std::chrono::milliseconds FGrace;
  std::thread FWorker;
};
