#pragma once
// IMorvelLogger: the one interface all diagnostic output goes through. Most
// operations come twice, without a level (the engine's default level is
// used) and with a leading TMorvelLevel. The operations are generated from
// the tables in LogOperations.h. Loggers are owned by the logging module and
// live until it shuts down; callers ask GetLogger anew at each use.

#include "logging/LogOperations.h"
#include "logging/MorvelLoggerTypes.h"

#include <type_traits>

class IMorvelLogger {
public:
#define KELVANE_INTERFACE_DECLARE(Ret, Name, Params, Args)                                         \
  virtual Ret Name Params = 0;                                                                     \
  virtual Ret Name KELVANE_LOG_MORVEL_LEVEL_PARAMS Params = 0;
  KELVANE_LOG_LEVELED_OPS(KELVANE_INTERFACE_DECLARE)
#undef KELVANE_INTERFACE_DECLARE

#define KELVANE_INTERFACE_DECLARE(Ret, Name, Params, Args) virtual Ret Name Params = 0;
  KELVANE_LOG_PLAIN_OPS(KELVANE_INTERFACE_DECLARE)
#undef KELVANE_INTERFACE_DECLARE

  virtual TMorvelLevel Level() = 0;
  virtual void SetLevel(TMorvelLevel ALevel) = 0;

  // The enumerator name of a Q_ENUM value, without spelling out its type.
  template <class E>
  requires std::is_enum_v<E>
  void LogEnum(const QString& ATitle, E AValue) {
    LogEnum(ATitle, QMetaEnum::fromType<E>(), static_cast<int>(AValue));
  }
  template <class E>
  requires std::is_enum_v<E>
  void LogEnum(TMorvelLevel ALevel, const QString& ATitle, E AValue) {
    LogEnum(ALevel, ATitle, QMetaEnum::fromType<E>(), static_cast<int>(AValue));
  }

protected:
  // Not reference-counted and not deleted through the interface.
  ~IMorvelLogger() = default;
};
