#include "logging/LogSinks.h"

#include "logging/LogConnections.h"
#include "platform/StreamConnection.h"

#include <algorithm>
#include <condition_variable>
#include <string>
#include <utility>

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

constexpr auto FileRetryDelay = 5s;
// A viewer that takes nothing for this long counts as gone.
constexpr auto SendTimeout = 5s;
constexpr auto PeerCheckInterval = 200ms;
constexpr size_t SendBatchBytes = 64 * 1024;

} // namespace

// ---- file -------------------------------------------------------------------

TFileSink::TFileSink(const QString& AFileName, qint64 AMaxBytes, int AMaxParts, bool AAppend,
                     bool AReconnect)
    : FMaxBytes(AMaxBytes), FMaxParts(std::max(1, AMaxParts)), FTruncate(!AAppend),
      FReconnect(AReconnect) {
  const qsizetype Slash = AFileName.lastIndexOf(u'/');
  FFolderPath = Slash < 0 ? QString() : AFileName.left(Slash + 1);
  FName = AFileName.mid(Slash + 1);
}

void TFileSink::sink_it_(const spdlog::details::log_msg& AMsg) {
  if (!FFile.IsOpen() && !openFile())
    return;
  QByteArray Line(AMsg.payload.data(), static_cast<qsizetype>(AMsg.payload.size()));
  Line += '\n';
  // A file opened for appending may already be full.
  if (FMaxBytes > 0 && FSize > 0 && FSize + Line.size() > FMaxBytes) {
    FFile.Close();
    rotate();
    if (!openFile())
      return;
  }
  if (FFile.Write(Line))
    FSize += Line.size();
  else
    FFile.Close();
}

QString TFileSink::partName(int AIndex) const {
  if (AIndex == 0)
    return FName;
  const qsizetype Dot = FName.lastIndexOf(u'.');
  if (Dot < 0)
    return FName + u'.' + QString::number(AIndex);
  return FName.left(Dot) + u'.' + QString::number(AIndex) + FName.mid(Dot);
}

bool TFileSink::openFile() {
  if (FGaveUp)
    return false;
  const auto Now = TClock::now();
  if (FLastAttempt && Now - *FLastAttempt < FileRetryDelay)
    return false;
  FLastAttempt = Now;
  // The folder is looked for anew after a failure: it may have been made or
  // mended since.
  if (!FFolder.IsOpen())
    FFolder = TSafeFolder::Open(FFolderPath, false);
  FFile = FFolder.OpenAppend(FName, FTruncate);
  if (!FFile.IsOpen()) {
    FFolder = TSafeFolder();
    FGaveUp = !FReconnect;
    return false;
  }
  FTruncate = false;
  FSize = FFile.Size();
  FLastAttempt.reset();
  return true;
}

// Renaming moves a planted link itself; it never writes through one.
void TFileSink::rotate() {
  FFolder.Remove(partName(FMaxParts - 1));
  for (int I = FMaxParts - 1; I >= 1; --I)
    FFolder.Rename(partName(I - 1), partName(I));
  if (FMaxParts == 1)
    FFolder.Remove(partName(0));
  FSize = 0;
}

// ---- memory -----------------------------------------------------------------

QByteArray TMemorySink::Contents() {
  std::lock_guard Guard(mutex_);
  QByteArray Result;
  Result.reserve(FBytes);
  for (const QByteArray& Line : FLines)
    Result += Line;
  return Result;
}

void TMemorySink::sink_it_(const spdlog::details::log_msg& AMsg) {
  if (static_cast<qint64>(AMsg.payload.size()) + 1 > FMaxBytes)
    return;
  QByteArray Line(AMsg.payload.data(), static_cast<qsizetype>(AMsg.payload.size()));
  Line += '\n';
  FBytes += Line.size();
  FLines.push_back(std::move(Line));
  while (FBytes > FMaxBytes) {
    FBytes -= FLines.front().size();
    FLines.pop_front();
  }
}

// ---- stream -----------------------------------------------------------------

struct TStreamState {
  std::mutex Lock;
  std::condition_variable Wake; // lines queued, or the sink is going
  std::condition_variable Done; // the worker has finished
  std::deque<std::string> Queue;
  qint64 QueuedBytes = 0;
  // False while the target is unreachable and once the worker has finished.
  bool Accepting = true;
  bool Connected = false;
  bool Resolving = false;
  // Set when the sink goes: the end of the worker's grace time.
  std::optional<TClock::time_point> StopBy;
  bool Finished = false;

  void DropQueue() {
    Queue.clear();
    QueuedBytes = 0;
  }
  bool GraceOver() const { return StopBy && TClock::now() >= *StopBy; }
  // Once the sink is gone only a connected target goes on, until its queue
  // is sent or its grace is over: a program never waits at exit for a
  // viewer that has not answered. No attempt starts after a failed one.
  bool ShouldStop() const {
    return StopBy && (!Connected || Queue.empty() || TClock::now() >= *StopBy);
  }
};

namespace {

bool shouldStop(TStreamState& AState) {
  std::lock_guard Guard(AState.Lock);
  return AState.ShouldStop();
}

// A host name, unlike an address, is looked up by the resolver, which may
// take its own time and cannot be cut short.
void setResolving(TStreamState& AState, bool AValue) {
  std::lock_guard Guard(AState.Lock);
  AState.Resolving = AValue;
  AState.Done.notify_all();
}

// Within the target's timeout; once the sink is gone the attempt waits no
// more.
TStreamConnection connectTo(TStreamState& AState, const TStreamTarget& ATarget) {
  const auto Stop = [&AState] { return shouldStop(AState); };
  const std::chrono::milliseconds Timeout(ATarget.TimeoutMs);
  if (ATarget.Local)
    return TStreamConnection::ConnectLocal(ATarget.Host, Timeout, Stop);
  return TStreamConnection::ConnectTcp(ATarget.Host, quint16(ATarget.Port), Timeout, Stop,
                                       [&AState](bool AValue) { setResolving(AState, AValue); });
}

// A viewer that takes nothing for SendTimeout counts as gone; so does every
// viewer once the grace is over.
bool sendAll(TStreamState& AState, TStreamConnection& AConnection, const std::string& AData) {
  return AConnection.SendAll(AData, SendTimeout, [&AState] {
    std::lock_guard Guard(AState.Lock);
    return AState.GraceOver();
  });
}

// Sends queued lines until the connection is lost (true) or the sink is gone
// (false). Called and returns with the lock held.
bool deliver(TStreamState& AState, TStreamConnection& AConnection,
             std::unique_lock<std::mutex>& AGuard) {
  for (;;) {
    AState.Wake.wait_for(AGuard, PeerCheckInterval,
                         [&] { return AState.StopBy || !AState.Queue.empty(); });
    if (AState.ShouldStop())
      return false;
    if (AState.Queue.empty()) {
      AGuard.unlock();
      // The viewer has nothing to say: only its end of the connection
      // matters.
      const bool Closed = AConnection.PeerClosed();
      AGuard.lock();
      if (Closed)
        return true;
      continue;
    }
    std::string Batch = std::move(AState.Queue.front());
    AState.Queue.pop_front();
    while (!AState.Queue.empty() && Batch.size() < SendBatchBytes) {
      Batch += AState.Queue.front();
      AState.Queue.pop_front();
    }
    AState.QueuedBytes -= static_cast<qint64>(Batch.size());
    AGuard.unlock();
    const bool Sent = sendAll(AState, AConnection, Batch);
    AGuard.lock();
    if (!Sent)
      return !AState.StopBy;
  }
}

void runWorker(const std::shared_ptr<TStreamState>& AState, const TStreamTarget& ATarget,
               bool AReconnect) {
  TStreamState& State = *AState;
  auto Delay = FirstRetryDelay;
  for (;;) {
    TStreamConnection Connection = connectTo(State, ATarget);
    std::unique_lock Guard(State.Lock);
    if (Connection.IsOpen()) {
      Delay = FirstRetryDelay;
      State.Connected = true;
      const bool Lost = deliver(State, Connection, Guard);
      State.Connected = false;
      Connection.Close();
      if (!Lost)
        break;
    }
    State.DropQueue();
    if (State.StopBy || !AReconnect)
      break;
    State.Accepting = false;
    State.Wake.wait_for(Guard, Delay, [&] { return State.StopBy.has_value(); });
    if (State.StopBy)
      break;
    Delay = std::min(Delay * 2, LastRetryDelay);
    State.Accepting = true;
  }
  std::lock_guard Guard(State.Lock);
  State.Accepting = false;
  State.DropQueue();
  State.Finished = true;
  State.Done.notify_all();
}

} // namespace

TStreamSink::TStreamSink(TStreamTarget ATarget, bool AReconnect)
    : FState(std::make_shared<TStreamState>()), FGrace(ATarget.Grace) {
  if (!ATarget.Local && (ATarget.Port < 1 || ATarget.Port > 65535)) {
    FState->Accepting = false;
    FState->Finished = true;
    return;
  }
  try {
    FWorker = std::thread([State = FState, Target = std::move(ATarget), AReconnect] {
      try {
        runWorker(State, Target, AReconnect);
      } catch (...) {
        std::lock_guard Guard(State->Lock);
        State->Accepting = false;
        State->Finished = true;
        State->Done.notify_all();
      }
    });
  } catch (...) {
    FState->Accepting = false;
    FState->Finished = true;
  }
}

TStreamSink::~TStreamSink() {
  std::unique_lock Guard(FState->Lock);
  if (!FState->StopBy)
    FState->StopBy = TClock::now() + FGrace;
  FState->Wake.notify_all();
  // A worker in a name look-up is left to finish on its own.
  FState->Done.wait_until(Guard, *FState->StopBy + 200ms,
                          [&] { return FState->Finished || FState->Resolving; });
  const bool Finished = FState->Finished;
  Guard.unlock();
  if (FWorker.joinable()) {
    if (Finished)
      FWorker.join();
    else
      FWorker.detach();
  }
}

void TStreamSink::sink_it_(const spdlog::details::log_msg& AMsg) {
  std::lock_guard Guard(FState->Lock);
  if (!FState->Accepting || FState->StopBy)
    return;
  const auto Size = static_cast<qint64>(AMsg.payload.size()) + 1;
  if (FState->QueuedBytes + Size > MaxQueuedBytes)
    return;
  std::string Line;
  Line.reserve(AMsg.payload.size() + 1);
  Line.append(AMsg.payload.data(), AMsg.payload.size());
  Line += '\n';
  FState->Queue.push_back(std::move(Line));
  FState->QueuedBytes += Size;
  FState->Wake.notify_one();
}
