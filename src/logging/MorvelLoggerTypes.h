#pragma once
// Enumerations of the logger facade. They mirror the engine's own (same
// order), so the facade converts by value.

#include "logging/LogEngine.h"

#include <QMetaEnum>
#include <QObject>

#include <cstdint>

namespace MorvelLoggerTypes {
Q_NAMESPACE

enum TMorvelLevel : int { lvDebug, lvVerbose, lvMessage, lvWarning, lvError, lvFatal, lvControl };
Q_ENUM_NS(TMorvelLevel)

enum TMorvelLogEntryType : int {
  leSeparator,
  leEnterMethod,
  leLeaveMethod,
  leEnterThread,
  leLeaveThread,
  leEnterProcess,
  leLeaveProcess,
  leResetCallstack,
  leMessage,
  leDebug,
  leVerbose,
  leWarning,
  leError,
  leFatal,
  leCheckpoint,
  leAssert,
  leValue,
  leText,
  leBinary,
  leGraphic,
  leSource,
  leObject,
  leSystem,
  leException,
  leWatch,
  leCounter,
  leControl,
  leCustom
};
Q_ENUM_NS(TMorvelLogEntryType)

// How a viewer should present a record's data.
enum TMorvelViewerId : int {
  viNone,
  viTitle,
  viData,
  viList,
  viTable,
  viWeb,
  viBinary,
  viSource,
  viGraphic
};
Q_ENUM_NS(TMorvelViewerId)

enum TMorvelSourceId : int {
  siHtml,
  siJavaScript,
  siSql,
  siXml,
  siIni,
  siPython,
  siPerl,
  siVbScript
};
Q_ENUM_NS(TMorvelSourceId)

enum TMorvelWatchType : int {
  wtChar,
  wtString,
  wtInteger,
  wtFloat,
  wtBoolean,
  wtAddress,
  wtTimestamp,
  wtObject
};
Q_ENUM_NS(TMorvelWatchType)

enum TMorvelControlCommandType : int {
  ccClearLog,
  ccClearWatches,
  ccClearAutoViews,
  ccClearAll,
  ccClearProcessFlow
};
Q_ENUM_NS(TMorvelControlCommandType)

enum TMorvelProcessFlowType : int {
  pfEnterMethod,
  pfLeaveMethod,
  pfEnterThread,
  pfLeaveThread,
  pfEnterProcess,
  pfLeaveProcess
};
Q_ENUM_NS(TMorvelProcessFlowType)

} // namespace MorvelLoggerTypes

using namespace MorvelLoggerTypes;

// Colours are 0xAARRGGBB; 0 means "the viewer's default".
using TMorvelColor = std::uint32_t;

inline TLogLevel ToLogLevel(TMorvelLevel ALevel) {
  return static_cast<TLogLevel>(ALevel);
}
inline TMorvelLevel ToMorvelLevel(TLogLevel ALevel) {
  return static_cast<TMorvelLevel>(ALevel);
}
inline TLogEntryKind ToLogEntryKind(TMorvelLogEntryType AType) {
  return static_cast<TLogEntryKind>(AType);
}
