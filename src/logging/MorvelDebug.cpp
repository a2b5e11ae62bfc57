#include "logging/MorvelDebug.h"

#include "common/Assert.h"
#include "common/Diagnostics.h"
#include "common/StringRules.h"
#include "logging/LogEngine.h"
#include "logging/MorvelLogger.h"
#include "platform/Process.h"
#include "platform/RegistryAccess.h"
#include "platform/SafeFolder.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

const QString ConfigurationKey = QStringLiteral("Software\\Morvel\\Tesk");
constexpr int DefaultFileSize = 5120;
constexpr int DefaultFileCount = 5;
constexpr int DefaultActiveLevel = lvVerbose;
// The largest sizes (KiB) and part count the engine's targets take.
constexpr int MaxFileSize = 1 << 30;
constexpr int MaxMemorySize = 1 << 20;
constexpr int MaxFileCount = 1000;

struct TMorvelDebugState {
  QString ModuleFileName; // as given, e.g. "kelvane" or "TeskConsole.exe"
  std::unique_ptr<TLogEngine> Engine;
  std::unique_ptr<std::map<QString, std::unique_ptr<TMorvelLogger>>> Dictionary;
  std::unique_ptr<std::mutex> Lock;
  bool DebugDisabled = false;
  std::unique_ptr<TMorvelLogger> InactiveLogger;
  // The program's own logger once known; GetLogger's fast path.
  std::atomic<TMorvelLogger*> ProgramLogger{nullptr};
  bool Started = false;
};

TMorvelDebugState& state() {
  static TMorvelDebugState State;
  return State;
}

// Handed out before start-up and after shut-down: no engine, never writes.
TMorvelLogger& inertLogger() {
  static TMorvelLogger Logger(nullptr, QStringLiteral("inert"));
  return Logger;
}

QString moduleKey(const QString& AModuleFileName) {
  return QFileInfo(AModuleFileName).fileName().toLower();
}

// Values go into the connection text quoted by the grammar's own rule, so a
// folder or host name holding '"', ',' or ')' cannot break the text.
QString quoted(const QString& AValue) {
  QString Result = AValue;
  Result.replace(u'"', QStringLiteral("\"\""));
  return u'"' + Result + u'"';
}

void appendConnection(QString& AConnections, const QString& AConnection) {
  if (!AConnections.isEmpty())
    AConnections += QStringLiteral(", ");
  AConnections += AConnection;
}

QString changeFileExt(const QString& AFileName, const QString& AExtension) {
  const qsizetype Dot = AFileName.lastIndexOf(u'.');
  return (Dot < 0 ? AFileName : AFileName.left(Dot)) + AExtension;
}

TLogLevel readActiveLevel(TRegistry& ARegistry) {
  int Level = ReadRegistryInteger(&ARegistry, QStringLiteral("ActiveLevel"), DefaultActiveLevel);
  if (Level < lvDebug || Level > lvControl)
    Level = DefaultActiveLevel;
  return static_cast<TLogLevel>(Level);
}

// 0 or below gives the default; values beyond what the engine takes are
// held at its limit, so a large number in the registry cannot stop logging.
int readPositive(TRegistry& ARegistry, const QString& AName, int ADefault, int ALimit) {
  const int Value = ReadRegistryInteger(&ARegistry, AName, ADefault);
  return Value <= 0 ? ADefault : std::min(Value, ALimit);
}

QString memoryConnection(TRegistry& ARegistry) {
  return QStringLiteral("mem(maxsize=\"%1\", reconnect=\"true\")")
      .arg(readPositive(ARegistry, QStringLiteral("DirectDebugFileSize"), DefaultFileSize,
                        MaxMemorySize));
}

QString tcpConnection(TRegistry& ARegistry) {
  const QString Text = ReadRegistryText(&ARegistry, QStringLiteral("DirectDebugTCP"), QString());
  const qsizetype Colon = Text.indexOf(u':');
  if (Colon < 0)
    return {};
  const QString Host = Trim(Text.left(Colon));
  const int Port = StrToIntDef(Trim(Text.mid(Colon + 1)), 0);
  if (Host.isEmpty() || Port <= 0 || Port > 65535)
    return {};
  return QStringLiteral("tcp(host=%1, port=\"%2\", reconnect=\"true\")")
      .arg(quoted(Host))
      .arg(Port);
}

QString fileConnection(TRegistry& ARegistry, const QString& AModuleFileName) {
  QString Folder = ReadRegistryText(&ARegistry, QStringLiteral("DirectDebugDirectory"), QString());
  if (Folder.isEmpty())
    return {};
  // Made (private) and checked here, where a refusal can be told once; the
  // file target checks the way again whenever it opens the file.
  const TSafeFolder Checked = TSafeFolder::Open(Folder, true);
  if (!Checked.IsOpen()) {
    // Folder names come from the configuration and the file system: the
    // line escapes their control characters.
    PrintDiagnostic(QStringLiteral("no log file in \"%1\": %2").arg(Folder, Checked.Error()));
    return {};
  }
  if (!Folder.endsWith(u'/'))
    Folder += u'/';
  const QString FileName =
      Folder +
      changeFileExt(QFileInfo(AModuleFileName).fileName(), QStringLiteral(".sil")).toLower();
  return QStringLiteral("file(filename=%1, maxsize=\"%2\", maxparts=\"%3\", append=\"true\", "
                        "reconnect=\"true\")")
      .arg(quoted(FileName))
      .arg(readPositive(ARegistry, QStringLiteral("DirectDebugFileSize"), DefaultFileSize,
                        MaxFileSize))
      .arg(readPositive(ARegistry, QStringLiteral("DirectDebugFiles"), DefaultFileCount,
                        MaxFileCount));
}

bool isTeskConsole(const QString& AModuleFileName) {
  const QString Name = QFileInfo(AModuleFileName).fileName();
  return SameText(Name, QStringLiteral("TeskConsole.exe")) ||
         SameText(Name, QStringLiteral("TeskConsole"));
}

} // namespace

QString ReadRegistryText(TRegistry* ARegistry, const QString& AName, const QString& ADefault) {
  Assert(ARegistry != nullptr, QStringLiteral("ARegistry is not assigned"));
  Assert(!AName.isEmpty(), QStringLiteral("AName is empty"));
  try {
    const QString Value = Trim(ARegistry->ReadString(AName));
    return Value.isEmpty() ? ADefault : Value;
  } catch (...) {
    return ADefault;
  }
}

int ReadRegistryInteger(TRegistry* ARegistry, const QString& AName, int ADefault) {
  Assert(ARegistry != nullptr, QStringLiteral("ARegistry is not assigned"));
  Assert(!AName.isEmpty(), QStringLiteral("AName is empty"));
  try {
    if (ARegistry->ValueExists(AName))
      return ARegistry->ReadInteger(AName);
  } catch (...) {
  }
  return ADefault;
}

void InitLoggingEngine() {
  TMorvelDebugState& S = state();
  try {
    S.Engine = std::make_unique<TLogEngine>(moduleKey(S.ModuleFileName));
    S.Engine->SetEnabled(true);
    S.Engine->SetDefaultLevel(TLogLevel::Verbose);
  } catch (...) {
  }
}

void ApplyDebugConfiguration() {
  TMorvelDebugState& S = state();
  if (!S.Engine)
    return;
  // Read access only and no view flag: the key is looked up where a 32-bit
  // build of the program would look for it.
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!Registry.OpenKeyReadOnly(ConfigurationKey))
    return;

  const int Mode = ReadRegistryInteger(&Registry, QStringLiteral("DebugEnabled"), 0);
  S.DebugDisabled = Mode == 2;
  if (S.DebugDisabled) {
    S.Engine->SetEnabled(false);
    S.InactiveLogger =
        std::make_unique<TMorvelLogger>(S.Engine.get(), QStringLiteral("DebugDisabled"));
    S.InactiveLogger->SetActive(false);
    return;
  }

  QString Connections;
  if (isTeskConsole(S.ModuleFileName))
    appendConnection(Connections, memoryConnection(Registry));
  if (Mode == 1) {
    S.Engine->SetLevel(readActiveLevel(Registry));
    Connections.clear();
    for (const QString& Connection :
         {tcpConnection(Registry), fileConnection(Registry, S.ModuleFileName),
          QStringLiteral("pipe(reconnect=\"true\")")})
      if (!Connection.isEmpty())
        appendConnection(Connections, Connection);
  } else {
    S.Engine->SetLevel(TLogLevel::Message);
  }
  S.Engine->SetConnections(Connections);
}

void InitializeMorvelDebug(const QString& AModuleFileName) {
  TMorvelDebugState& S = state();
  if (S.Started)
    FinalizeMorvelDebug();
  S.ModuleFileName = AModuleFileName.isEmpty() ? ExecutableFileName() : AModuleFileName;
  S.DebugDisabled = false;
  InitLoggingEngine();
  try {
    S.Dictionary = std::make_unique<std::map<QString, std::unique_ptr<TMorvelLogger>>>();
    S.Lock = std::make_unique<std::mutex>();
  } catch (...) {
  }
  S.Started = true;
  ApplyDebugConfiguration();
}

void FinalizeMorvelDebug() {
  TMorvelDebugState& S = state();
  S.Started = false;
  S.ProgramLogger.store(nullptr, std::memory_order_release);
  try {
    // Loggers point to the engine, so they go first.
    S.InactiveLogger.reset();
    S.Dictionary.reset();
    S.Engine.reset();
    S.Lock.reset();
  } catch (...) {
  }
  S.DebugDisabled = false;
}

namespace {
TMorvelLogger* moduleLogger(const QString& AModuleFileName) {
  TMorvelDebugState& S = state();
  if (!S.Started || !S.Engine || !S.Dictionary || !S.Lock)
    return &inertLogger();
  if (S.DebugDisabled)
    return S.InactiveLogger ? S.InactiveLogger.get() : &inertLogger();
  const QString Key = moduleKey(AModuleFileName);
  std::lock_guard Guard(*S.Lock);
  std::unique_ptr<TMorvelLogger>& Logger = (*S.Dictionary)[Key];
  if (!Logger)
    Logger = std::make_unique<TMorvelLogger>(S.Engine.get(), Key);
  return Logger.get();
}
} // namespace

IMorvelLogger* GetModuleLogger(const QString& AModuleFileName) {
  return moduleLogger(AModuleFileName);
}

ITraceLogger* GetTraceLogger() {
  TMorvelDebugState& S = state();
  if (TMorvelLogger* Logger = S.ProgramLogger.load(std::memory_order_acquire))
    return Logger;
  TMorvelLogger* Logger = moduleLogger(S.ModuleFileName);
  if (Logger != &inertLogger())
    S.ProgramLogger.store(Logger, std::memory_order_release);
  return Logger;
}

IMorvelLogger* GetLogger() {
  return GetTraceLogger();
}

TLogEngine* MorvelLogEngine() {
  return state().Engine.get();
}

bool MorvelDebugDisabled() {
  return state().DebugDisabled;
}
