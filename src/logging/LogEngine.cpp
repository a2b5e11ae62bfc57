#include "logging/LogEngine.h"

#include "logging/LogConnections.h"

namespace {
constexpr const char16_t* LevelNames[] = {u"debug", u"verbose", u"message", u"warning",
                                          u"error", u"fatal",   u"control"};
constexpr const char16_t* KindNames[] = {
    u"separator",    u"enter",         u"leave",         u"enter-thread",
    u"leave-thread", u"enter-process", u"leave-process", u"reset-callstack",
    u"message",      u"debug",         u"verbose",       u"warning",
    u"error",        u"fatal",         u"checkpoint",    u"assert",
    u"value",        u"text",          u"binary",        u"graphic",
    u"source",       u"object",        u"system",        u"exception",
    u"watch",        u"counter",       u"control",       u"custom"};
static_assert(std::size(KindNames) == std::size_t(TLogEntryKind::Custom) + 1);
} // namespace

QString LogLevelName(TLogLevel ALevel) {
  const auto I = static_cast<std::size_t>(ALevel);
  return I < std::size(LevelNames) ? QString::fromUtf16(LevelNames[I])
                                   : QString::number(int(ALevel));
}

QString LogEntryKindName(TLogEntryKind AKind) {
  const auto I = static_cast<std::size_t>(AKind);
  return I < std::size(KindNames) ? QString::fromUtf16(KindNames[I]) : QString::number(int(AKind));
}

TLogEngine::TLogEngine(QString AAppName) : FAppName(std::move(AAppName)) {}

TLogEngine::~TLogEngine() {
  std::vector<std::unique_ptr<TLogConnection>> Connections;
  {
    std::lock_guard Guard(FLock);
    FHasConnections.store(false, std::memory_order_release);
    Connections.swap(FConnections);
  }
  for (auto& Connection : Connections)
    Connection->Flush();
  // Destroying them stops the workers of TCP and pipe targets.
}

void TLogEngine::SetConnections(const QString& AConnections) {
  // Every option is checked before any target starts: a bad value in the
  // last connection must not leave a worker behind for the first.
  std::vector<TConnectionSettings> Settings;
  for (const TParsedConnection& Parsed : ParseConnectionText(AConnections))
    Settings.push_back(ReadConnectionSettings(Parsed));
  std::vector<std::unique_ptr<TLogConnection>> Created;
  for (const TConnectionSettings& Connection : Settings)
    Created.push_back(CreateConnection(Connection));
  std::vector<std::unique_ptr<TLogConnection>> Old;
  {
    std::lock_guard Guard(FLock);
    Old.swap(FConnections);
    FConnections = std::move(Created);
    FConnectionText = AConnections;
    FHasConnections.store(!FConnections.empty(), std::memory_order_release);
  }
}

QString TLogEngine::Connections() const {
  std::lock_guard Guard(FLock);
  return FConnectionText;
}

void TLogEngine::Dispatch(const TLogRecord& ARecord) noexcept {
  if (!HasConnections())
    return;
  try {
    std::lock_guard Guard(FLock);
    QByteArray Json;
    QByteArray Text;
    for (const auto& Connection : FConnections) {
      if (ARecord.Level < Connection->MinLevel())
        continue;
      QByteArray& Line = Connection->WantsText() ? Text : Json;
      if (Line.isEmpty())
        Line = Connection->WantsText() ? FormatTextLine(ARecord) : FormatJsonLine(ARecord);
      Connection->WriteLine(Line);
    }
  } catch (...) {
  }
}

void TLogEngine::Flush() noexcept {
  std::lock_guard Guard(FLock);
  for (const auto& Connection : FConnections)
    Connection->Flush();
}

QByteArray TLogEngine::MemoryContents() const {
  std::lock_guard Guard(FLock);
  QByteArray Result;
  for (const auto& Connection : FConnections)
    Result += Connection->Contents();
  return Result;
}
