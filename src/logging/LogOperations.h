#pragma once
// The operation tables of the logging sessions. One entry per operation
//   X(ReturnType, Name, (parameters), (arguments))
// generates the engine session's declaration, the facade interface's
// declaration and the facade's forwarding body, so the several hundred
// operations are stated once.
//
// KELVANE_LOG_LEVELED_OPS: each operation exists twice, as Name(parameters)
// at the engine's default level and as Name(level, parameters).
// KELVANE_LOG_PLAIN_OPS: operations without a level argument (their level is
// fixed by their meaning, or they do not write a record).

#include <QDateTime>
#include <QMetaEnum>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <typeinfo>

class QAbstractItemModel;
class QIODevice;
class QImage;
class QObject;

// The object a method belongs to; its class name prefixes the method name.
class TLogInstance {
public:
  template <class T>
  TLogInstance(const T* AInstance) : FType(AInstance ? &typeid(*AInstance) : nullptr) {}
  QString ClassName() const;

private:
  const std::type_info* FType;
};

// Logs the leave of a method when it is destroyed; handed out by TrackMethod.
class TMethodTracker {
public:
  TMethodTracker() = default;
  TMethodTracker(class TLogSession* ASession, int ALevel, QString AName)
      : FSession(ASession), FLevel(ALevel), FName(std::move(AName)) {}
  TMethodTracker(TMethodTracker&& AOther) noexcept
      : FSession(std::exchange(AOther.FSession, nullptr)), FLevel(AOther.FLevel),
        FName(std::move(AOther.FName)) {}
  TMethodTracker& operator=(TMethodTracker&&) = delete;
  ~TMethodTracker();

private:
  class TLogSession* FSession = nullptr;
  int FLevel = 0;
  QString FName;
};

using TLogFormatArgs = std::initializer_list<QVariant>;

// Value types shared by the Log<Type> and Watch<Type> families.
#define KELVANE_LOG_VALUE_TYPES(F, X)                                                              \
  F(X, Char, QChar)                                                                                \
  F(X, String, const QString&)                                                                     \
  F(X, WideString, const QString&)                                                                 \
  F(X, PChar, const char*)                                                                         \
  F(X, PWideChar, const char16_t*)                                                                 \
  F(X, Integer, std::int32_t)                                                                      \
  F(X, Cardinal, std::uint32_t)                                                                    \
  F(X, Shortint, std::int8_t)                                                                      \
  F(X, Smallint, std::int16_t)                                                                     \
  F(X, Int64, std::int64_t)                                                                        \
  F(X, Byte, std::uint8_t)                                                                         \
  F(X, Word, std::uint16_t)                                                                        \
  F(X, Single, float)                                                                              \
  F(X, Double, double)                                                                             \
  F(X, Extended, long double)                                                                      \
  F(X, Currency, double)                                                                           \
  F(X, Boolean, bool)                                                                              \
  F(X, Pointer, const void*)                                                                       \
  F(X, DateTime, const QDateTime&)

#define KELVANE_LOG_VALUE_OP(X, Suffix, Type)                                                      \
  X(void, Log##Suffix, (const QString& ATitle, Type AValue), (ATitle, AValue))                     \
  X(void, Watch##Suffix, (const QString& AName, Type AValue), (AName, AValue))

#define KELVANE_LOG_CONTROL_NAMES(F, X)                                                            \
  F(X, LogSeparator)                                                                               \
  F(X, ResetCallstack)                                                                             \
  F(X, ClearLog)                                                                                   \
  F(X, ClearProcessFlow)                                                                           \
  F(X, ClearWatches)                                                                               \
  F(X, ClearAutoViews)                                                                             \
  F(X, ClearAll)
#define KELVANE_LOG_CONTROL_OP(X, Name) X(void, Name, (), ())

#define KELVANE_LOG_FLOW_NAMES(F, X)                                                               \
  F(X, EnterMethod)                                                                                \
  F(X, LeaveMethod)                                                                                \
  F(X, EnterThread)                                                                                \
  F(X, LeaveThread)                                                                                \
  F(X, EnterProcess)                                                                               \
  F(X, LeaveProcess)
#define KELVANE_LOG_FLOW_OP(X, Name)                                                               \
  X(void, Name, (const QString& AName), (AName))                                                   \
  X(void, Name, (const TLogInstance& AInstance, const QString& AName), (AInstance, AName))

// Content taken from a text, a file, a stream or an image.
#define KELVANE_LOG_TEXT_NAMES(F, X) F(X, LogText) F(X, LogHtml) F(X, LogSql)
#define KELVANE_LOG_TEXT_OP(X, Name)                                                               \
  X(void, Name, (const QString& ATitle, const QString& AText), (ATitle, AText))

#define KELVANE_LOG_FILE_NAMES(F, X)                                                               \
  F(X, LogTextFile)                                                                                \
  F(X, LogHtmlFile)                                                                                \
  F(X, LogBinaryFile)                                                                              \
  F(X, LogBitmapFile)                                                                              \
  F(X, LogJpegFile)                                                                                \
  F(X, LogIconFile)                                                                                \
  F(X, LogMetafileFile)                                                                            \
  F(X, LogPictureFile)
#define KELVANE_LOG_FILE_OP(X, Name)                                                               \
  X(void, Name, (const QString& AFileName), (AFileName))                                           \
  X(void, Name, (const QString& ATitle, const QString& AFileName), (ATitle, AFileName))

#define KELVANE_LOG_STREAM_NAMES(F, X)                                                             \
  F(X, LogTextStream)                                                                              \
  F(X, LogHtmlStream)                                                                              \
  F(X, LogBinaryStream)                                                                            \
  F(X, LogBitmapStream)                                                                            \
  F(X, LogJpegStream)                                                                              \
  F(X, LogIconStream)                                                                              \
  F(X, LogMetafileStream)                                                                          \
  F(X, LogStream)
#define KELVANE_LOG_STREAM_OP(X, Name)                                                             \
  X(void, Name, (const QString& ATitle, QIODevice* AStream), (ATitle, AStream))

#define KELVANE_LOG_IMAGE_NAMES(F, X)                                                              \
  F(X, LogBitmap)                                                                                  \
  F(X, LogJpeg)                                                                                    \
  F(X, LogIcon)                                                                                    \
  F(X, LogMetafile)                                                                                \
  F(X, LogGraphic)                                                                                 \
  F(X, LogPicture)                                                                                 \
  F(X, LogCanvas)
#define KELVANE_LOG_IMAGE_OP(X, Name)                                                              \
  X(void, Name, (const QString& ATitle, const QImage& AImage), (ATitle, AImage))

#define KELVANE_LOG_COUNTER_NAMES(F, X) F(X, IncCounter) F(X, DecCounter) F(X, ResetCounter)
#define KELVANE_LOG_COUNTER_OP(X, Name) X(void, Name, (const QString& AName), (AName))

#define KELVANE_LOG_LEVELED_OPS(X)                                                                 \
  X(bool, IsOn, (), ())                                                                            \
  KELVANE_LOG_CONTROL_NAMES(KELVANE_LOG_CONTROL_OP, X)                                             \
  KELVANE_LOG_FLOW_NAMES(KELVANE_LOG_FLOW_OP, X)                                                   \
  X(TMethodTracker, TrackMethod, (const QString& AName), (AName))                                  \
  X(TMethodTracker, TrackMethod, (const TLogInstance& AInstance, const QString& AName),            \
    (AInstance, AName))                                                                            \
  X(void, LogColored, (TMorvelColor AColor, const QString& ATitle), (AColor, ATitle))              \
  X(void, LogAssert, (bool ACondition, const QString& ATitle), (ACondition, ATitle))               \
  X(void, LogAssigned, (const QString& ATitle, const void* APointer), (ATitle, APointer))          \
  X(void, LogConditional, (bool ACondition, const QString& ATitle), (ACondition, ATitle))          \
  X(void, AddCheckpoint, (), ())                                                                   \
  X(void, AddCheckpoint, (const QString& AName, const QString& ADetails), (AName, ADetails))       \
  X(void, ResetCheckpoint, (), ())                                                                 \
  X(void, ResetCheckpoint, (const QString& AName), (AName))                                        \
  KELVANE_LOG_VALUE_TYPES(KELVANE_LOG_VALUE_OP, X)                                                 \
  X(void, LogEnum, (const QString& ATitle, const QMetaEnum& AType, int AValue),                    \
    (ATitle, AType, AValue))                                                                       \
  X(void, LogValue, (const QString& ATitle, const QVariant& AValue), (ATitle, AValue))             \
  X(void, Watch, (const QString& AName, const QVariant& AValue), (AName, AValue))                  \
  KELVANE_LOG_TEXT_NAMES(KELVANE_LOG_TEXT_OP, X)                                                   \
  KELVANE_LOG_FILE_NAMES(KELVANE_LOG_FILE_OP, X)                                                   \
  KELVANE_LOG_STREAM_NAMES(KELVANE_LOG_STREAM_OP, X)                                               \
  KELVANE_LOG_IMAGE_NAMES(KELVANE_LOG_IMAGE_OP, X)                                                 \
  KELVANE_LOG_COUNTER_NAMES(KELVANE_LOG_COUNTER_OP, X)                                             \
  X(void, LogCustomContext,                                                                        \
    (const QString& ATitle, TMorvelLogEntryType AType, const QObject* AContext),                   \
    (ATitle, AType, AContext))                                                                     \
  X(void, LogCustomText,                                                                           \
    (const QString& ATitle, const QString& AText, TMorvelLogEntryType AType,                       \
     TMorvelViewerId AViewer),                                                                     \
    (ATitle, AText, AType, AViewer))                                                               \
  X(void, LogCustomFile,                                                                           \
    (const QString& ATitle, const QString& AFileName, TMorvelLogEntryType AType,                   \
     TMorvelViewerId AViewer),                                                                     \
    (ATitle, AFileName, AType, AViewer))                                                           \
  X(void, LogCustomStream,                                                                         \
    (const QString& ATitle, QIODevice* AStream, TMorvelLogEntryType AType,                         \
     TMorvelViewerId AViewer),                                                                     \
    (ATitle, AStream, AType, AViewer))                                                             \
  X(void, LogSource, (const QString& ATitle, const QString& ASource, TMorvelSourceId AId),         \
    (ATitle, ASource, AId))                                                                        \
  X(void, LogSourceFile, (const QString& ATitle, const QString& AFileName, TMorvelSourceId AId),   \
    (ATitle, AFileName, AId))                                                                      \
  X(void, LogSourceStream, (const QString& ATitle, QIODevice* AStream, TMorvelSourceId AId),       \
    (ATitle, AStream, AId))                                                                        \
  X(void, LogObject, (const QString& ATitle, const QObject* AObject), (ATitle, AObject))           \
  X(void, LogStringList, (const QString& ATitle, const QStringList& AList), (ATitle, AList))       \
  X(void, LogRect, (const QString& ATitle, const QRect& ARect), (ATitle, ARect))                   \
  X(void, LogPoint, (const QString& ATitle, const QPoint& APoint), (ATitle, APoint))               \
  X(void, LogMemory, (const QString& ATitle, const void* AData, std::size_t ASize),                \
    (ATitle, AData, ASize))                                                                        \
  X(void, LogMemoryStatistic, (const QString& ATitle), (ATitle))                                   \
  X(void, LogSystem, (const QString& ATitle), (ATitle))                                            \
  X(void, LogDataSet, (const QString& ATitle, const QAbstractItemModel* AModel), (ATitle, AModel)) \
  X(void, LogDataSetSchema, (const QString& ATitle, const QAbstractItemModel* AModel),             \
    (ATitle, AModel))                                                                              \
  X(void, LogLastError, (const QString& ATitle), (ATitle))                                         \
  X(void, LogWin32Error,                                                                           \
    (const QString& ATitle, std::uint32_t AErrorCode, std::uintptr_t AModule),                     \
    (ATitle, AErrorCode, AModule))                                                                 \
  X(void, LogException, (const QString& ATitle), (ATitle))                                         \
  X(void, LogException, (const QString& ATitle, std::exception_ptr AException),                    \
    (ATitle, AException))                                                                          \
  X(void, ExceptionHandler, (const QObject* ASender, std::exception_ptr AException),               \
    (ASender, AException))                                                                         \
  X(void, SendCustomLogEntry,                                                                      \
    (const QString& ATitle, TMorvelLogEntryType AType, TMorvelViewerId AViewer,                    \
     const QString& AData),                                                                        \
    (ATitle, AType, AViewer, AData))                                                               \
  X(void, SendCustomWatch, (const QString& AName, const QString& AValue, TMorvelWatchType AType),  \
    (AName, AValue, AType))                                                                        \
  X(void, SendCustomControlCommand, (TMorvelControlCommandType AType, const QString& AData),       \
    (AType, AData))                                                                                \
  X(void, SendCustomProcessFlow, (const QString& ATitle, TMorvelProcessFlowType AType),            \
    (ATitle, AType))

// Messages have the level their name says; the formatted forms are only
// formatted when the record will be written.
#define KELVANE_LOG_MESSAGE_NAMES(F, X)                                                            \
  F(X, LogDebug)                                                                                   \
  F(X, LogVerbose)                                                                                 \
  F(X, LogMessage)                                                                                 \
  F(X, LogWarning)                                                                                 \
  F(X, LogError)                                                                                   \
  F(X, LogFatal)
#define KELVANE_LOG_MESSAGE_OP(X, Name)                                                            \
  X(void, Name, (const QString& ATitle), (ATitle))                                                 \
  X(void, Name, (const QString& AFormat, TLogFormatArgs AArgs), (AFormat, AArgs))

#define KELVANE_LOG_PLAIN_OPS(X)                                                                   \
  KELVANE_LOG_MESSAGE_NAMES(KELVANE_LOG_MESSAGE_OP, X)                                             \
  X(void, ResetColor, (), ())                                                                      \
  X(TMorvelColor, Color, (), ())                                                                   \
  X(void, SetColor, (TMorvelColor AColor), (AColor))                                               \
  X(QString, GetName, (), ())                                                                      \
  X(void, SetName, (const QString& AName), (AName))                                                \
  X(TLogEngine*, Parent, (), ())                                                                   \
  X(bool, Active, (), ())                                                                          \
  X(void, SetActive, (bool AValue), (AValue))

// Helpers for the generators: write `Name KELVANE_LOG_..._PARAMS Params` to put
// a level in front of a parameter or argument list that may be empty.
#define KELVANE_LOG_MORVEL_LEVEL_PARAMS(...) (TMorvelLevel ALevel __VA_OPT__(, ) __VA_ARGS__)
#define KELVANE_LOG_ENGINE_LEVEL_PARAMS(...) (TLogLevel ALevel __VA_OPT__(, ) __VA_ARGS__)
#define KELVANE_LOG_CONVERTED_LEVEL_ARGS(...) (ToLogLevel(ALevel) __VA_OPT__(, ) __VA_ARGS__)
#define KELVANE_LOG_DEFAULT_LEVEL_ARGS(...) (DefaultLevel() __VA_OPT__(, ) __VA_ARGS__)
