#pragma once
// ITraceLogger: the trace-style method set for code written against it,
// mapped onto the session's operations. The same logger object serves both
// interfaces. Pass texts as QString: a string literal would convert to bool
// before it converts to QString and pick the Boolean overload of Send.

#include "logging/MorvelLoggerInterface.h"

#include <QIODevice>

class QImage;

// X(ReturnType, Name, (parameters), mapped call)
#define KELVANE_TRACE_OPS(X)                                                                       \
  X(void, AddSeparator, (), LogSeparator())                                                        \
  X(void, Clear, (), ClearLog())                                                                   \
  X(void, EnterMethod, (const QString& APrefix, const QString& AName, const QString& AArguments),  \
    EnterMethod(TraceMethodName(APrefix, AName, AArguments)))                                      \
  X(void, ExitMethod, (const QString& AName), LeaveMethod(AName))                                  \
  X(void, ExitMethod, (const TLogInstance& AInstance, const QString& AName),                       \
    LeaveMethod(AInstance, AName))                                                                 \
  X(void, Send, (const QString& AMessage), LogMessage(AMessage))                                   \
  X(void, Send, (int, const QString& AMessage), LogMessage(AMessage))                              \
  X(void, SendMsg, (const QString& AMessage), LogMessage(AMessage))                                \
  X(void, SendMsgEx, (int, const QString& AMessage), LogMessage(AMessage))                         \
  X(void, SendNote, (const QString& AMessage), LogMessage(AMessage))                               \
  X(void, Send, (const QString& AMessage, bool AValue), LogBoolean(AMessage, AValue))              \
  X(void, Send, (int, const QString& AMessage, bool AValue), LogBoolean(AMessage, AValue))         \
  X(void, SendBoolean, (const QString& AMessage, bool AValue), LogBoolean(AMessage, AValue))       \
  X(void, Send, (const QString& AMessage, int AValue), LogInteger(AMessage, AValue))               \
  X(void, Send, (int, const QString& AMessage, int AValue), LogInteger(AMessage, AValue))          \
  X(void, SendInteger, (const QString& AMessage, int AValue), LogInteger(AMessage, AValue))        \
  X(void, SendIntegerEx, (int, const QString& AMessage, int AValue), LogInteger(AMessage, AValue)) \
  X(void, Send, (const QString& AMessage, const QString& AValue), LogString(AMessage, AValue))     \
  X(void, Send, (int, const QString& AMessage, const QString& AValue),                             \
    LogString(AMessage, AValue))                                                                   \
  X(void, SendString, (const QString& AMessage, const QString& AValue),                            \
    LogString(AMessage, AValue))                                                                   \
  X(void, SendStringEx, (int, const QString& AMessage, const QString& AValue),                     \
    LogString(AMessage, AValue))                                                                   \
  X(void, Send, (const QString& AMessage, const QStringList& AValue),                              \
    LogStringList(AMessage, AValue))                                                               \
  X(void, SendStringList, (const QString& AMessage, const QStringList& AValue),                    \
    LogStringList(AMessage, AValue))                                                               \
  X(void, SendAssigned, (const QString& AMessage, const void* AValue),                             \
    LogAssigned(AMessage, AValue))                                                                 \
  X(void, SendDateTime, (const QString& AMessage, const QDateTime& AValue),                        \
    LogDateTime(AMessage, AValue))                                                                 \
  X(void, SendDWord, (const QString& AMessage, std::uint32_t AValue),                              \
    LogCardinal(AMessage, AValue))                                                                 \
  X(void, SendInt64, (const QString& AMessage, std::int64_t AValue), LogInt64(AMessage, AValue))   \
  X(void, SendFloat, (const QString& AMessage, long double AValue), LogExtended(AMessage, AValue)) \
  X(void, SendChar, (const QString& AMessage, QChar AValue),                                       \
    LogValue(AMessage, QVariant(QString(AValue))))                                                 \
  X(void, SendEnum, (const QString& AMessage, const QMetaEnum& AType, int AValue),                 \
    LogString(AMessage, TraceEnumName(AType, AValue)))                                             \
  X(void, SendVariant, (const QString& AMessage, const QVariant& AValue),                          \
    LogString(AMessage, AValue.toString()))                                                        \
  X(void, SendObject, (const QString& AMessage, const QObject* AValue),                            \
    LogObject(AMessage, AValue))                                                                   \
  X(void, SendRect, (const QString& AMessage, const QRect& AValue), LogRect(AMessage, AValue))     \
  X(void, SendBitmap, (const QString& AMessage, const QImage& AValue),                             \
    LogBitmap(AMessage, AValue))                                                                   \
  X(void, SendTextFile, (const QString& AMessage, const QString& AFileName),                       \
    LogTextFile(AMessage, AFileName))                                                              \
  X(void, SendStreamAsHex, (const QString& AMessage, QIODevice* AStream, int, bool),               \
    LogStream(AMessage, AStream))                                                                  \
  X(void, SendError, (const QString& AMessage), LogError(AMessage))                                \
  X(void, SendFmtError, (const QString& AFormat, TLogFormatArgs AArgs), LogError(AFormat, AArgs))  \
  X(void, SendWarning, (const QString& AMessage), LogWarning(AMessage))                            \
  X(void, SendFmtWarning, (const QString& AFormat, TLogFormatArgs AArgs),                          \
    LogWarning(AFormat, AArgs))                                                                    \
  X(void, SendFmtMsg, (const QString& AFormat, TLogFormatArgs AArgs), LogMessage(AFormat, AArgs))  \
  X(void, SendNote, (const QString& AFormat, TLogFormatArgs AArgs), LogMessage(AFormat, AArgs))    \
  X(void, SendException, (), LogException(QString()))                                              \
  X(void, SendWinError, (const QString& AMessage, std::uint32_t AErrorCode),                       \
    LogWin32Error(AMessage, AErrorCode, 0))                                                        \
  X(void, WriteInteger, (const QString& AName, int AValue), WatchInteger(AName, AValue))           \
  X(void, WriteMsg, (const QString& AName, const QString& AValue), WatchString(AName, AValue))     \
  X(void, WriteFmtMsg, (const QString& AName, const QString& AFormat, TLogFormatArgs AArgs),       \
    WatchString(AName, TraceFormat(AFormat, AArgs)))                                               \
  X(QString, GetCategory, (), GetName())                                                           \
  X(void, SetCategory, (const QString& AName), SetName(AName))                                     \
  X(bool, GetEnabled, (), Active())                                                                \
  X(void, SetEnabled, (bool AValue), SetActive(AValue))                                            \
  X(TMorvelColor, GetCategoryColor, (), Color())                                                   \
  X(void, SetCategoryColor, (TMorvelColor AColor), SetColor(AColor))

// "prefix.name(arguments)"; empty parts are left out.
QString TraceMethodName(const QString& APrefix, const QString& AName, const QString& AArguments);
QString TraceEnumName(const QMetaEnum& AType, int AValue);
// Format that never raises: a bad format gives the format text itself.
QString TraceFormat(const QString& AFormat, TLogFormatArgs AArgs);

class ITraceLogger : public IMorvelLogger {
public:
  using IMorvelLogger::EnterMethod;

#define KELVANE_TRACE_DECLARE(Ret, Name, Params, Call) virtual Ret Name Params = 0;
  KELVANE_TRACE_OPS(KELVANE_TRACE_DECLARE)
#undef KELVANE_TRACE_DECLARE

protected:
  ~ITraceLogger() = default;
};
