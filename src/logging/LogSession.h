#pragma once
// A session of the logging engine: a named source of records with its own
// active flag and level. Every operation first asks whether its record would
// be written (engine enabled, session active, level high enough, at least
// one connection) and only then builds the record, so logging that is off
// costs a branch and no allocation.

#include "logging/LogEngine.h"
#include "logging/LogOperations.h"
#include "logging/MorvelLoggerTypes.h"

#include <QHash>
#include <QObject>

// Pictures in records need Qt's GUI library; a process that logs them (the
// window) registers the describers at start-up (LogImages.h), so the
// print-only program never loads that library. Without them a picture
// record says that it cannot be shown.
struct TLogImageDescribers {
  QString (*FromImage)(const QImage& AImage) = nullptr;
  QString (*FromData)(const QByteArray& AData) = nullptr;
};
void SetLogImageDescribers(const TLogImageDescribers& ADescribers);

// The data of a custom record together with the viewer that shows it.
class TLogViewerContext : public QObject {
  Q_OBJECT
public:
  explicit TLogViewerContext(TMorvelViewerId AViewerId = viData, QObject* AParent = nullptr)
      : QObject(AParent), FViewerId(AViewerId) {}
  TMorvelViewerId ViewerId() const { return FViewerId; }
  const QString& Text() const { return FText; }
  void AppendLine(const QString& ALine) { FText += ALine + u'\n'; }
  void SetText(const QString& AText) { FText = AText; }

private:
  TMorvelViewerId FViewerId;
  QString FText;
};

class TLogSession {
public:
  // AParent may be null: such a session never writes.
  TLogSession(TLogEngine* AParent, QString AName);
  virtual ~TLogSession() = default;
  TLogSession(const TLogSession&) = delete;
  TLogSession& operator=(const TLogSession&) = delete;

  TLogLevel Level() const noexcept { return FLevel; }
  void SetLevel(TLogLevel ALevel) noexcept { FLevel = ALevel; }
  TLogLevel DefaultLevel() const noexcept {
    return FParent ? FParent->DefaultLevel() : TLogLevel::Message;
  }

  // The record test of IsOn plus "some connection would receive it".
  bool Wants(TLogLevel ALevel) noexcept { return IsOn(ALevel) && FParent->HasConnections(); }

#define KELVANE_SESSION_DECLARE(Ret, Name, Params, Args)                                           \
  Ret Name Params {                                                                                \
    return Name KELVANE_LOG_DEFAULT_LEVEL_ARGS Args;                                               \
  }                                                                                                \
  Ret Name KELVANE_LOG_ENGINE_LEVEL_PARAMS Params;
  KELVANE_LOG_LEVELED_OPS(KELVANE_SESSION_DECLARE)
#undef KELVANE_SESSION_DECLARE

#define KELVANE_SESSION_DECLARE(Ret, Name, Params, Args) Ret Name Params;
  KELVANE_LOG_PLAIN_OPS(KELVANE_SESSION_DECLARE)
#undef KELVANE_SESSION_DECLARE

  // Sends one record when Wants(ALevel); the building block of the operations.
  void Send(TLogLevel ALevel, TLogEntryKind AKind, const QString& ATitle,
            const QString& AData = {});

private:
  void sendMessage(TLogLevel ALevel, TLogEntryKind AKind, const QString& AFormat,
                   TLogFormatArgs AArgs);

  TLogEngine* FParent;
  QString FName;
  TMorvelColor FColor = 0;
  bool FActive = true;
  TLogLevel FLevel = TLogLevel::Debug;
  // Named checkpoints count up per name; the unnamed one has the empty name.
  QHash<QString, int> FCheckpoints;
  QHash<QString, qint64> FCounters;
};
