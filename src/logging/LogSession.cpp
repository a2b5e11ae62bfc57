#include "logging/LogSession.h"

#include "common/Assert.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/WinError.h"
#include "platform/Files.h"
#include "platform/Process.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QIODevice>
#include <QLocale>
#include <QMetaProperty>
#include <QSysInfo>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <concepts>
#include <cstring>
#include <cxxabi.h>
#include <memory>

namespace {

// Content operations read at most this much from a file or stream, so a log
// call can never swallow the machine's memory.
constexpr qint64 MaxContentBytes = 4 * 1024 * 1024;

QString hexDump(const QByteArray& AData) {
  QString Result;
  Result.reserve(AData.size() * 4);
  for (qsizetype Offset = 0; Offset < AData.size(); Offset += 16) {
    Result += QStringLiteral("%1  ").arg(Offset, 8, 16, QChar(u'0')).toUpper();
    const QByteArray Row = AData.mid(Offset, 16);
    for (qsizetype I = 0; I < 16; ++I)
      Result +=
          I < Row.size()
              ? QStringLiteral("%1 ").arg(static_cast<uchar>(Row[I]), 2, 16, QChar(u'0')).toUpper()
              : QStringLiteral("   ");
    for (char C : Row)
      Result += (C >= 32 && C < 127) ? QChar(C) : QChar(u'.');
    Result += u'\n';
  }
  return Result;
}

QByteArray readBounded(QIODevice* AStream) {
  if (!AStream || !AStream->isReadable())
    return {};
  if (!AStream->isSequential())
    AStream->seek(0);
  return AStream->read(MaxContentBytes);
}

// A FIFO or device named in a log call must not stall the program.
QByteArray readFileBounded(const QString& AFileName, bool& AOk) {
  TFileContent Content = ReadBoundedFile(AFileName, MaxContentBytes, frTruncate);
  AOk = Content.Ok();
  return std::move(Content.Data);
}

std::atomic<QString (*)(const QImage&)> ImageDescriber{nullptr};
std::atomic<QString (*)(const QByteArray&)> ImageDataDescriber{nullptr};

QString imageText(const QImage& AImage) {
  if (const auto Describe = ImageDescriber.load(std::memory_order_acquire))
    return Describe(AImage);
  return QStringLiteral("(a picture, not shown: this program has no picture support)");
}

QString imageDataText(const QByteArray& AData) {
  if (const auto Describe = ImageDataDescriber.load(std::memory_order_acquire))
    return Describe(AData);
  return QStringLiteral("(a picture of %1 bytes, not shown: this program has no picture support)")
      .arg(AData.size());
}

QString pointerText(const void* APointer) {
  return QStringLiteral("%1")
      .arg(reinterpret_cast<quintptr>(APointer), 16, 16, QChar(u'0'))
      .toUpper();
}

QString valueText(QChar V) {
  return QString(V);
}
QString valueText(const QString& V) {
  return V;
}
QString valueText(const char* V) {
  return V ? QString::fromUtf8(V) : QString();
}
QString valueText(const char16_t* V) {
  return V ? QString::fromUtf16(V) : QString();
}
template <std::integral T> QString valueText(T V) {
  return QString::number(V);
}
QString valueText(float V) {
  return QLocale::c().toString(V, 'g', 9);
}
QString valueText(double V) {
  return QLocale::c().toString(V, 'g', 17);
}
QString valueText(long double V) {
  return QLocale::c().toString(static_cast<double>(V), 'g', 17);
}
QString valueText(bool V) {
  return V ? QStringLiteral("True") : QStringLiteral("False");
}
QString valueText(const void* V) {
  return pointerText(V);
}
QString valueText(const QDateTime& V) {
  return V.isValid() ? V.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString();
}
QString valueText(const QVariant& V) {
  if (!V.isValid() || V.isNull())
    return QStringLiteral("(null)");
  if (V.canConvert<QString>())
    return V.toString();
  if (V.canConvert<QStringList>())
    return V.toStringList().join(QStringLiteral(", "));
  return QStringLiteral("(%1)").arg(QString::fromLatin1(V.typeName()));
}

// "Class.Method", or the method alone when the instance is unknown.
QString methodName(const TLogInstance& AInstance, const QString& AName) {
  const QString Class = AInstance.ClassName();
  return Class.isEmpty() ? AName : Class + u'.' + AName;
}

QString titled(const QString& ATitle, const QString& AValue) {
  return ATitle + QStringLiteral(" = ") + AValue;
}

QString modelText(const QAbstractItemModel* AModel, bool ASchemaOnly) {
  if (!AModel)
    return QStringLiteral("(no data)");
  QString Result;
  const int Columns = AModel->columnCount();
  for (int C = 0; C < Columns; ++C)
    Result +=
        (C ? QStringLiteral("\t") : QString()) + AModel->headerData(C, Qt::Horizontal).toString();
  if (ASchemaOnly)
    return Result;
  const int Rows = AModel->rowCount();
  for (int R = 0; R < Rows; ++R) {
    Result += u'\n';
    for (int C = 0; C < Columns; ++C)
      Result +=
          (C ? QStringLiteral("\t") : QString()) + AModel->data(AModel->index(R, C)).toString();
  }
  return Result;
}

QString objectText(const QObject* AObject) {
  if (!AObject)
    return QStringLiteral("(nil)");
  const QMetaObject* Meta = AObject->metaObject();
  QString Result = QString::fromLatin1(Meta->className());
  for (int I = 0; I < Meta->propertyCount(); ++I) {
    const QMetaProperty Property = Meta->property(I);
    Result += u'\n' + QString::fromLatin1(Property.name()) + QStringLiteral(" = ") +
              valueText(Property.read(AObject));
  }
  return Result;
}

TLogEntryKind kindOfFlow(TMorvelProcessFlowType AType) {
  switch (AType) {
  case pfEnterMethod:
    return TLogEntryKind::EnterMethod;
  case pfLeaveMethod:
    return TLogEntryKind::LeaveMethod;
  case pfEnterThread:
    return TLogEntryKind::EnterThread;
  case pfLeaveThread:
    return TLogEntryKind::LeaveThread;
  case pfEnterProcess:
    return TLogEntryKind::EnterProcess;
  case pfLeaveProcess:
    return TLogEntryKind::LeaveProcess;
  }
  return TLogEntryKind::Custom;
}

QString enumName(const QMetaEnum& AType, int AValue) {
  const char* Key = AType.isValid() ? AType.valueToKey(AValue) : nullptr;
  return Key ? QString::fromLatin1(Key) : QString::number(AValue);
}

} // namespace

void SetLogImageDescribers(const TLogImageDescribers& ADescribers) {
  ImageDescriber.store(ADescribers.FromImage, std::memory_order_release);
  ImageDataDescriber.store(ADescribers.FromData, std::memory_order_release);
}

QString TLogInstance::ClassName() const {
  if (!FType)
    return {};
  int Status = 0;
  std::unique_ptr<char, void (*)(void*)> Demangled(
      abi::__cxa_demangle(FType->name(), nullptr, nullptr, &Status), std::free);
  return QString::fromLatin1(Status == 0 && Demangled ? Demangled.get() : FType->name());
}

TMethodTracker::~TMethodTracker() {
  if (FSession)
    FSession->LeaveMethod(static_cast<TLogLevel>(FLevel), FName);
}

TLogSession::TLogSession(TLogEngine* AParent, QString AName)
    : FParent(AParent), FName(std::move(AName)) {}

void TLogSession::Send(TLogLevel ALevel, TLogEntryKind AKind, const QString& ATitle,
                       const QString& AData) {
  if (!Wants(ALevel))
    return;
  TLogRecord Record;
  Record.Time = QDateTime::currentDateTime();
  Record.Level = ALevel;
  Record.Kind = AKind;
  Record.Session = FName;
  Record.Title = ATitle;
  Record.Data = AData;
  FParent->Dispatch(Record);
}

void TLogSession::sendMessage(TLogLevel ALevel, TLogEntryKind AKind, const QString& AFormat,
                              TLogFormatArgs AArgs) {
  if (!Wants(ALevel))
    return;
  QString Text;
  try {
    Text = Format(AFormat, QVariantList(AArgs));
  } catch (const Exception& E) {
    // A bad format must not cost the caller its work; log what we have.
    Text = AFormat + QStringLiteral(" [") + E.Message() + u']';
  }
  Send(ALevel, AKind, Text);
}

// ---- control and properties ----------------------------------------------

bool TLogSession::IsOn(TLogLevel ALevel) {
  return FParent && FParent->Enabled() && FActive && ALevel >= FLevel && ALevel >= FParent->Level();
}

void TLogSession::ResetColor() {
  FColor = 0;
}
TMorvelColor TLogSession::Color() {
  return FColor;
}
void TLogSession::SetColor(TMorvelColor AColor) {
  FColor = AColor;
}
QString TLogSession::GetName() {
  return FName;
}
void TLogSession::SetName(const QString& AName) {
  FName = AName;
}
TLogEngine* TLogSession::Parent() {
  return FParent;
}
bool TLogSession::Active() {
  return FActive;
}
void TLogSession::SetActive(bool AValue) {
  FActive = AValue;
}

void TLogSession::LogSeparator(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Separator, {});
}
void TLogSession::ResetCallstack(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::ResetCallstack, {});
}
void TLogSession::ClearLog(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Control, QStringLiteral("ClearLog"));
}
void TLogSession::ClearProcessFlow(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Control, QStringLiteral("ClearProcessFlow"));
}
void TLogSession::ClearWatches(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Control, QStringLiteral("ClearWatches"));
}
void TLogSession::ClearAutoViews(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Control, QStringLiteral("ClearAutoViews"));
}
void TLogSession::ClearAll(TLogLevel ALevel) {
  Send(ALevel, TLogEntryKind::Control, QStringLiteral("ClearAll"));
}

// ---- method, thread and process flow -------------------------------------

#define KELVANE_SESSION_FLOW(Name)                                                                 \
  void TLogSession::Name(TLogLevel ALevel, const QString& AName) {                                 \
    Send(ALevel, TLogEntryKind::Name, AName);                                                      \
  }                                                                                                \
  void TLogSession::Name(TLogLevel ALevel, const TLogInstance& AInstance, const QString& AName) {  \
    if (Wants(ALevel))                                                                             \
      Send(ALevel, TLogEntryKind::Name, methodName(AInstance, AName));                             \
  }
KELVANE_SESSION_FLOW(EnterMethod)
KELVANE_SESSION_FLOW(LeaveMethod)
KELVANE_SESSION_FLOW(EnterThread)
KELVANE_SESSION_FLOW(LeaveThread)
KELVANE_SESSION_FLOW(EnterProcess)
KELVANE_SESSION_FLOW(LeaveProcess)
#undef KELVANE_SESSION_FLOW

TMethodTracker TLogSession::TrackMethod(TLogLevel ALevel, const QString& AName) {
  if (!Wants(ALevel))
    return {};
  EnterMethod(ALevel, AName);
  return TMethodTracker(this, static_cast<int>(ALevel), AName);
}

TMethodTracker TLogSession::TrackMethod(TLogLevel ALevel, const TLogInstance& AInstance,
                                        const QString& AName) {
  if (!Wants(ALevel))
    return {};
  return TrackMethod(ALevel, methodName(AInstance, AName));
}

// ---- messages ------------------------------------------------------------

#define KELVANE_SESSION_MESSAGE(Name, Level)                                                       \
  void TLogSession::Log##Name(const QString& ATitle) {                                             \
    Send(TLogLevel::Level, TLogEntryKind::Name, ATitle);                                           \
  }                                                                                                \
  void TLogSession::Log##Name(const QString& AFormat, TLogFormatArgs AArgs) {                      \
    sendMessage(TLogLevel::Level, TLogEntryKind::Name, AFormat, AArgs);                            \
  }
KELVANE_SESSION_MESSAGE(Debug, Debug)
KELVANE_SESSION_MESSAGE(Verbose, Verbose)
KELVANE_SESSION_MESSAGE(Message, Message)
KELVANE_SESSION_MESSAGE(Warning, Warning)
KELVANE_SESSION_MESSAGE(Error, Error)
KELVANE_SESSION_MESSAGE(Fatal, Fatal)
#undef KELVANE_SESSION_MESSAGE

void TLogSession::LogColored(TLogLevel ALevel, TMorvelColor AColor, const QString& ATitle) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Message, ATitle,
         QStringLiteral("color #%1").arg(AColor, 8, 16, QChar(u'0')).toUpper());
}

void TLogSession::LogAssert(TLogLevel ALevel, bool ACondition, const QString& ATitle) {
  if (!ACondition)
    Send(ALevel, TLogEntryKind::Assert, ATitle);
}

void TLogSession::LogAssigned(TLogLevel ALevel, const QString& ATitle, const void* APointer) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Value,
         titled(ATitle, APointer ? QStringLiteral("assigned") : QStringLiteral("not assigned")));
}

void TLogSession::LogConditional(TLogLevel ALevel, bool ACondition, const QString& ATitle) {
  if (ACondition)
    Send(ALevel, TLogEntryKind::Message, ATitle);
}

void TLogSession::AddCheckpoint(TLogLevel ALevel) {
  AddCheckpoint(ALevel, {}, {});
}

void TLogSession::AddCheckpoint(TLogLevel ALevel, const QString& AName, const QString& ADetails) {
  if (!Wants(ALevel))
    return;
  const int Count = ++FCheckpoints[AName];
  const QString Base = AName.isEmpty() ? QStringLiteral("Checkpoint") : AName;
  Send(ALevel, TLogEntryKind::Checkpoint, QStringLiteral("%1 #%2").arg(Base).arg(Count), ADetails);
}

void TLogSession::ResetCheckpoint(TLogLevel ALevel) {
  ResetCheckpoint(ALevel, {});
}
void TLogSession::ResetCheckpoint(TLogLevel, const QString& AName) {
  FCheckpoints.remove(AName);
}

// ---- values and watches --------------------------------------------------

#define KELVANE_SESSION_VALUE(X, Suffix, Type)                                                     \
  void TLogSession::Log##Suffix(TLogLevel ALevel, const QString& ATitle, Type AValue) {            \
    if (Wants(ALevel))                                                                             \
      Send(ALevel, TLogEntryKind::Value, titled(ATitle, valueText(AValue)));                       \
  }                                                                                                \
  void TLogSession::Watch##Suffix(TLogLevel ALevel, const QString& AName, Type AValue) {           \
    if (Wants(ALevel))                                                                             \
      Send(ALevel, TLogEntryKind::Watch, AName, valueText(AValue));                                \
  }
KELVANE_LOG_VALUE_TYPES(KELVANE_SESSION_VALUE, unused)
#undef KELVANE_SESSION_VALUE

void TLogSession::LogEnum(TLogLevel ALevel, const QString& ATitle, const QMetaEnum& AType,
                          int AValue) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Value, titled(ATitle, enumName(AType, AValue)));
}

void TLogSession::LogValue(TLogLevel ALevel, const QString& ATitle, const QVariant& AValue) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Value, titled(ATitle, valueText(AValue)));
}

void TLogSession::Watch(TLogLevel ALevel, const QString& AName, const QVariant& AValue) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Watch, AName, valueText(AValue));
}

void TLogSession::IncCounter(TLogLevel ALevel, const QString& AName) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Counter, AName, QString::number(++FCounters[AName]));
}
void TLogSession::DecCounter(TLogLevel ALevel, const QString& AName) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Counter, AName, QString::number(--FCounters[AName]));
}
void TLogSession::ResetCounter(TLogLevel ALevel, const QString& AName) {
  FCounters.remove(AName);
  Send(ALevel, TLogEntryKind::Counter, AName, QStringLiteral("0"));
}

// ---- content -------------------------------------------------------------

void TLogSession::LogText(TLogLevel ALevel, const QString& ATitle, const QString& AText) {
  Send(ALevel, TLogEntryKind::Text, ATitle, AText);
}
void TLogSession::LogHtml(TLogLevel ALevel, const QString& ATitle, const QString& AText) {
  Send(ALevel, TLogEntryKind::Text, ATitle, AText);
}
void TLogSession::LogSql(TLogLevel ALevel, const QString& ATitle, const QString& AText) {
  Send(ALevel, TLogEntryKind::Source, ATitle, AText);
}

namespace {
enum class TContent { Text, Binary, Image };

QString contentText(const QByteArray& AData, TContent AContent) {
  switch (AContent) {
  case TContent::Text:
    return QString::fromUtf8(AData);
  case TContent::Binary:
    return hexDump(AData);
  case TContent::Image:
    return imageDataText(AData);
  }
  return {};
}

TLogEntryKind contentKind(TContent AContent) {
  switch (AContent) {
  case TContent::Text:
    return TLogEntryKind::Text;
  case TContent::Binary:
    return TLogEntryKind::Binary;
  case TContent::Image:
    return TLogEntryKind::Graphic;
  }
  return TLogEntryKind::Text;
}
} // namespace

#define KELVANE_SESSION_FILE(Name, Content)                                                        \
  void TLogSession::Name(TLogLevel ALevel, const QString& AFileName) {                             \
    Name(ALevel, AFileName, AFileName);                                                            \
  }                                                                                                \
  void TLogSession::Name(TLogLevel ALevel, const QString& ATitle, const QString& AFileName) {      \
    if (!Wants(ALevel))                                                                            \
      return;                                                                                      \
    bool Ok = false;                                                                               \
    const QByteArray Data = readFileBounded(AFileName, Ok);                                        \
    Send(ALevel, contentKind(TContent::Content), ATitle,                                           \
         Ok ? contentText(Data, TContent::Content)                                                 \
            : QStringLiteral("Cannot open file \"%1\"").arg(AFileName));                           \
  }
KELVANE_SESSION_FILE(LogTextFile, Text)
KELVANE_SESSION_FILE(LogHtmlFile, Text)
KELVANE_SESSION_FILE(LogBinaryFile, Binary)
KELVANE_SESSION_FILE(LogBitmapFile, Image)
KELVANE_SESSION_FILE(LogJpegFile, Image)
KELVANE_SESSION_FILE(LogIconFile, Image)
KELVANE_SESSION_FILE(LogMetafileFile, Image)
KELVANE_SESSION_FILE(LogPictureFile, Image)
#undef KELVANE_SESSION_FILE

#define KELVANE_SESSION_STREAM(Name, Content)                                                      \
  void TLogSession::Name(TLogLevel ALevel, const QString& ATitle, QIODevice* AStream) {            \
    if (Wants(ALevel))                                                                             \
      Send(ALevel, contentKind(TContent::Content), ATitle,                                         \
           contentText(readBounded(AStream), TContent::Content));                                  \
  }
KELVANE_SESSION_STREAM(LogTextStream, Text)
KELVANE_SESSION_STREAM(LogHtmlStream, Text)
KELVANE_SESSION_STREAM(LogBinaryStream, Binary)
KELVANE_SESSION_STREAM(LogBitmapStream, Image)
KELVANE_SESSION_STREAM(LogJpegStream, Image)
KELVANE_SESSION_STREAM(LogIconStream, Image)
KELVANE_SESSION_STREAM(LogMetafileStream, Image)
KELVANE_SESSION_STREAM(LogStream, Binary)
#undef KELVANE_SESSION_STREAM

#define KELVANE_SESSION_IMAGE(X, Name)                                                             \
  void TLogSession::Name(TLogLevel ALevel, const QString& ATitle, const QImage& AImage) {          \
    if (Wants(ALevel))                                                                             \
      Send(ALevel, TLogEntryKind::Graphic, ATitle, imageText(AImage));                             \
  }
KELVANE_LOG_IMAGE_NAMES(KELVANE_SESSION_IMAGE, unused)
#undef KELVANE_SESSION_IMAGE

void TLogSession::LogCustomContext(TLogLevel ALevel, const QString& ATitle,
                                   TMorvelLogEntryType AType, const QObject* AContext) {
  // Only the viewer-context object carries data a viewer understands.
  const auto* Context = qobject_cast<const TLogViewerContext*>(AContext);
  Assert(Context != nullptr, QStringLiteral("AContext has to be TLogViewerContext"));
  if (Wants(ALevel))
    Send(ALevel, ToLogEntryKind(AType), ATitle, Context->Text());
}

void TLogSession::LogCustomText(TLogLevel ALevel, const QString& ATitle, const QString& AText,
                                TMorvelLogEntryType AType, TMorvelViewerId) {
  Send(ALevel, ToLogEntryKind(AType), ATitle, AText);
}

void TLogSession::LogCustomFile(TLogLevel ALevel, const QString& ATitle, const QString& AFileName,
                                TMorvelLogEntryType AType, TMorvelViewerId) {
  if (!Wants(ALevel))
    return;
  bool Ok = false;
  const QByteArray Data = readFileBounded(AFileName, Ok);
  Send(ALevel, ToLogEntryKind(AType), ATitle,
       Ok ? QString::fromUtf8(Data) : QStringLiteral("Cannot open file \"%1\"").arg(AFileName));
}

void TLogSession::LogCustomStream(TLogLevel ALevel, const QString& ATitle, QIODevice* AStream,
                                  TMorvelLogEntryType AType, TMorvelViewerId) {
  if (Wants(ALevel))
    Send(ALevel, ToLogEntryKind(AType), ATitle, QString::fromUtf8(readBounded(AStream)));
}

void TLogSession::LogSource(TLogLevel ALevel, const QString& ATitle, const QString& ASource,
                            TMorvelSourceId) {
  Send(ALevel, TLogEntryKind::Source, ATitle, ASource);
}

void TLogSession::LogSourceFile(TLogLevel ALevel, const QString& ATitle, const QString& AFileName,
                                TMorvelSourceId) {
  if (!Wants(ALevel))
    return;
  bool Ok = false;
  const QByteArray Data = readFileBounded(AFileName, Ok);
  Send(ALevel, TLogEntryKind::Source, ATitle,
       Ok ? QString::fromUtf8(Data) : QStringLiteral("Cannot open file \"%1\"").arg(AFileName));
}

void TLogSession::LogSourceStream(TLogLevel ALevel, const QString& ATitle, QIODevice* AStream,
                                  TMorvelSourceId) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Source, ATitle, QString::fromUtf8(readBounded(AStream)));
}

void TLogSession::LogObject(TLogLevel ALevel, const QString& ATitle, const QObject* AObject) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Object, ATitle, objectText(AObject));
}

void TLogSession::LogStringList(TLogLevel ALevel, const QString& ATitle, const QStringList& AList) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Text, ATitle, AList.join(u'\n'));
}

void TLogSession::LogRect(TLogLevel ALevel, const QString& ATitle, const QRect& ARect) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Value,
         titled(ATitle, QStringLiteral("(Left: %1; Top: %2; Right: %3; Bottom: %4)")
                            .arg(ARect.left())
                            .arg(ARect.top())
                            .arg(ARect.left() + ARect.width())
                            .arg(ARect.top() + ARect.height())));
}

void TLogSession::LogPoint(TLogLevel ALevel, const QString& ATitle, const QPoint& APoint) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Value,
         titled(ATitle, QStringLiteral("(X: %1; Y: %2)").arg(APoint.x()).arg(APoint.y())));
}

void TLogSession::LogMemory(TLogLevel ALevel, const QString& ATitle, const void* AData,
                            std::size_t ASize) {
  if (!Wants(ALevel))
    return;
  const auto Size = static_cast<qsizetype>(qMin<std::size_t>(ASize, MaxContentBytes));
  Send(ALevel, TLogEntryKind::Binary, ATitle,
       AData ? hexDump(QByteArray(static_cast<const char*>(AData), Size)) : QString());
}

void TLogSession::LogMemoryStatistic(TLogLevel ALevel, const QString& ATitle) {
  if (!Wants(ALevel))
    return;
  Send(ALevel, TLogEntryKind::System, ATitle, ProcessMemoryFigures());
}

void TLogSession::LogSystem(TLogLevel ALevel, const QString& ATitle) {
  if (!Wants(ALevel))
    return;
  const QString Text =
      QStringLiteral("Operating system = %1\nMachine name = %2\nKernel = %3 %4\n"
                     "Application = %5\nCPU = %6")
          .arg(QSysInfo::prettyProductName(), QSysInfo::machineHostName(), QSysInfo::kernelType(),
               QSysInfo::kernelVersion(), QCoreApplication::applicationFilePath(),
               QSysInfo::currentCpuArchitecture());
  Send(ALevel, TLogEntryKind::System, ATitle, Text);
}

void TLogSession::LogDataSet(TLogLevel ALevel, const QString& ATitle,
                             const QAbstractItemModel* AModel) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Text, ATitle, modelText(AModel, false));
}

void TLogSession::LogDataSetSchema(TLogLevel ALevel, const QString& ATitle,
                                   const QAbstractItemModel* AModel) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Text, ATitle, modelText(AModel, true));
}

// ---- errors --------------------------------------------------------------

void TLogSession::LogLastError(TLogLevel ALevel, const QString& ATitle) {
  const int Error = errno;
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Error, ATitle,
         QStringLiteral("%1: %2").arg(Error).arg(QString::fromLocal8Bit(std::strerror(Error))));
}

void TLogSession::LogWin32Error(TLogLevel ALevel, const QString& ATitle, std::uint32_t AErrorCode,
                                std::uintptr_t) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Error, ATitle,
         QStringLiteral("%1: %2").arg(AErrorCode).arg(SysErrorMessage(AErrorCode)));
}

void TLogSession::LogException(TLogLevel ALevel, const QString& ATitle) {
  LogException(ALevel, ATitle, std::current_exception());
}

void TLogSession::LogException(TLogLevel ALevel, const QString& ATitle,
                               std::exception_ptr AException) {
  if (!Wants(ALevel))
    return;
  const TExceptionInfo Info = DescribeException(AException);
  const QString Title = ATitle.isEmpty() ? Info.Message : ATitle;
  Send(ALevel, TLogEntryKind::Exception, Title,
       Info.ClassName + QStringLiteral(": ") + Info.Message);
}

void TLogSession::ExceptionHandler(TLogLevel ALevel, const QObject* ASender,
                                   std::exception_ptr AException) {
  if (!Wants(ALevel))
    return;
  const TExceptionInfo Info = DescribeException(AException);
  const QString Sender =
      ASender ? QString::fromLatin1(ASender->metaObject()->className()) : QString();
  Send(ALevel, TLogEntryKind::Exception, Info.Message,
       Info.ClassName + QStringLiteral(": ") + Info.Message +
           (Sender.isEmpty() ? QString() : QStringLiteral(" (sender ") + Sender + u')'));
}

// ---- custom records ------------------------------------------------------

void TLogSession::SendCustomLogEntry(TLogLevel ALevel, const QString& ATitle,
                                     TMorvelLogEntryType AType, TMorvelViewerId,
                                     const QString& AData) {
  Send(ALevel, ToLogEntryKind(AType), ATitle, AData);
}

void TLogSession::SendCustomWatch(TLogLevel ALevel, const QString& AName, const QString& AValue,
                                  TMorvelWatchType) {
  Send(ALevel, TLogEntryKind::Watch, AName, AValue);
}

void TLogSession::SendCustomControlCommand(TLogLevel ALevel, TMorvelControlCommandType AType,
                                           const QString& AData) {
  if (Wants(ALevel))
    Send(ALevel, TLogEntryKind::Control,
         QString::fromLatin1(QMetaEnum::fromType<TMorvelControlCommandType>().valueToKey(AType)),
         AData);
}

void TLogSession::SendCustomProcessFlow(TLogLevel ALevel, const QString& ATitle,
                                        TMorvelProcessFlowType AType) {
  Send(ALevel, kindOfFlow(AType), ATitle);
}
