// The logging module's configuration: registry snippets in, connection text,
// engine level and handed-out loggers out.

#ifndef _WIN32
#include "support/FixtureTree.h"
#endif
#include "support/TestMain.h"

#include "common/Assert.h"
#include "logging/LogEngine.h"
#include "logging/MethodLog.h"
#include "logging/MorvelDebug.h"
#include "platform/RegistryAccess.h"
#include "platform/fake/FakePlatform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <stdexcept>

#include <unistd.h>

namespace {

const QString KeyLine = QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Morvel\\Tesk]\n");

QString regEscaped(const QString& APath) {
  QString S = APath;
  S.replace(u'\\', QStringLiteral("\\\\"));
  S.replace(u'"', QStringLiteral("\\\""));
  return S;
}

// Starts the module against a registry built from AReg; "%DIR%" stands for
// ADir in both the snippet and, by the caller, in expectations.
void startWith(const QString& AReg, const QString& AModule, const QString& ADir) {
  QString Reg = AReg;
  Reg.replace(QStringLiteral("%DIR%"), regEscaped(ADir));
  FakePlatform Platform(QStringLiteral("Windows Registry Editor Version 5.00\n\n") + Reg);
  ScopedPlatform Scope(Platform);
  InitializeMorvelDebug(AModule);
}

// What the program writes to standard error while the object lives.
class TErrorOutput {
public:
  TErrorOutput() : FSaved(::dup(2)), FFile(std::tmpfile()) {
    std::fflush(stderr);
    ::dup2(::fileno(FFile), 2);
  }
  ~TErrorOutput() {
    Stop();
    std::fclose(FFile);
  }
  TErrorOutput(const TErrorOutput&) = delete;
  TErrorOutput& operator=(const TErrorOutput&) = delete;
  QByteArray Stop() {
    if (FSaved >= 0) {
      std::fflush(stderr);
      ::dup2(FSaved, 2);
      ::close(FSaved);
      FSaved = -1;
    }
    QFile Written;
    Written.open(::fileno(FFile), QIODevice::ReadOnly);
    Written.seek(0);
    return Written.readAll();
  }

private:
  int FSaved;
  std::FILE* FFile;
};

#ifndef _WIN32
// Every entry below ARoot, links not followed, as paths relative to it.
QStringList entriesBelow(const QString& ARoot) {
  QStringList Entries;
  QDirIterator It(ARoot, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (It.hasNext())
    Entries << QDir(ARoot).relativeFilePath(It.next());
  Entries.sort();
  return Entries;
}
#endif

// Back to the empty configuration the other tests expect.
void restartEmpty() {
  FakePlatform Platform;
  ScopedPlatform Scope(Platform);
  InitializeMorvelDebug(QStringLiteral("kelvane"));
}

} // namespace

class tst_MorvelDebug : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void cleanup() { restartEmpty(); }

  void configuration_data();
  void configuration();
  void disabledHandsOutInactiveLogger();
  void programLoggerFiltersDebugRecordsAtDefaultLevel();
  void fileTargetReceivesRecords();
#ifndef _WIN32
  // Links, owners and modes of a Linux file tree.
  void logFolderIsReachedSafely_data();
  void logFolderIsReachedSafely();
#endif
  void loggerPerModuleIsCreatedOnce();
  void inertLoggerAfterShutdown();
  void methodLogSkipsLeaveWhenRaising();
  void registryReadersAssertTheirArguments_data();
  void registryReadersAssertTheirArguments();
  void registryReadersFallBackToDefaults_data();
  void registryReadersFallBackToDefaults();
};

void tst_MorvelDebug::configuration_data() {
  QTest::addColumn<QString>("reg");
  QTest::addColumn<QString>("module");
  QTest::addColumn<QString>("connections");
  QTest::addColumn<int>("level");

  const QString Pipe = QStringLiteral("pipe(reconnect=\"true\")");
  const QString File = QStringLiteral(
      "file(filename=\"%DIR%/kelvane.sil\", maxsize=\"5120\", maxparts=\"5\", append=\"true\", "
      "reconnect=\"true\")");
  const QString Tcp = QStringLiteral("tcp(host=\"localhost\", port=\"4228\", reconnect=\"true\")");
  const QString Mem = QStringLiteral("mem(maxsize=\"5120\", reconnect=\"true\")");
  const QString Kelvane = QStringLiteral("kelvane");
  const int Debug = int(TLogLevel::Debug), Verbose = int(TLogLevel::Verbose),
            Message = int(TLogLevel::Message);

  QTest::newRow("no key") << QString() << Kelvane << QString() << Debug;
  QTest::newRow("other key only")
      << QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Morvel]\n\"DebugEnabled\"=dword:00000001\n")
      << Kelvane << QString() << Debug;
  QTest::newRow("key without values") << KeyLine << Kelvane << QString() << Message;
  QTest::newRow("enabled, nothing else") << KeyLine + "\"DebugEnabled\"=dword:00000001\n"
                                         << Kelvane << Pipe << Verbose;
  QTest::newRow("all targets in order")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"ActiveLevel\"=dword:00000000\n"
                   "\"DirectDebugDirectory\"=\"%DIR%\"\n\"DirectDebugTCP\"=\"localhost:4228\"\n"
      << Kelvane << Tcp + ", " + File + ", " + Pipe << Debug;
  QTest::newRow("blanks around the values are trimmed")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"  localhost : 4228 \"\n"
      << Kelvane << Tcp + ", " + Pipe << Verbose;
  QTest::newRow("folder with trailing slash")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%/\"\n"
      << Kelvane << File + ", " + Pipe << Verbose;
  QTest::newRow("file size and count")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%\"\n"
                   "\"DirectDebugFileSize\"=dword:00000064\n\"DirectDebugFiles\"=dword:00000002\n"
      << Kelvane
      << QStringLiteral("file(filename=\"%DIR%/kelvane.sil\", maxsize=\"100\", maxparts=\"2\", "
                        "append=\"true\", reconnect=\"true\"), ") +
             Pipe
      << Verbose;
  QTest::newRow("size and count of zero or below give the defaults")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%\"\n"
                   "\"DirectDebugFileSize\"=dword:00000000\n\"DirectDebugFiles\"=dword:fffffffb\n"
      << Kelvane << File + ", " + Pipe << Verbose;
  QTest::newRow("sizes beyond the engine's limits are held there")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%\"\n"
                   "\"DirectDebugFileSize\"=dword:7fffffff\n\"DirectDebugFiles\"=dword:00001388\n"
      << Kelvane
      << QStringLiteral(
             "file(filename=\"%DIR%/kelvane.sil\", maxsize=\"1073741824\", maxparts=\"1000\", "
             "append=\"true\", reconnect=\"true\"), ") +
             Pipe
      << Verbose;
  QTest::newRow("console memory size held at the engine's limit")
      << KeyLine + "\"DirectDebugFileSize\"=dword:7fffffff\n"
      << QStringLiteral("TeskConsole.exe")
      << QStringLiteral("mem(maxsize=\"1048576\", reconnect=\"true\")") << Message;
  QTest::newRow("log file named after the module, lower case")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%\"\n"
      << QStringLiteral("/opt/Kelvane.EXE") << File + ", " + Pipe << Verbose;
  QTest::newRow("folder created with its parents")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%/a/b\"\n"
      << Kelvane
      << QStringLiteral(
             "file(filename=\"%DIR%/a/b/kelvane.sil\", maxsize=\"5120\", maxparts=\"5\", "
             "append=\"true\", reconnect=\"true\"), ") +
             Pipe
      << Verbose;
  QTest::newRow("folder that cannot be created gives no file target")
      << KeyLine +
             "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%/plain-file/sub\"\n"
      << Kelvane << Pipe << Verbose;
#ifndef _WIN32
  // Windows allows no quote in a file name.
  QTest::newRow("folder name with quote, comma and parenthesis")
      << KeyLine +
             "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%/we\\\"ird, (x)\"\n"
      << Kelvane
      << QStringLiteral("file(filename=\"%DIR%/we\"\"ird, (x)/kelvane.sil\", maxsize=\"5120\", "
                        "maxparts=\"5\", append=\"true\", reconnect=\"true\"), ") +
             Pipe
      << Verbose;
#endif
  QTest::newRow("active level 9")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"ActiveLevel\"=dword:00000009\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("active level -1")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"ActiveLevel\"=dword:ffffffff\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("active level 6")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"ActiveLevel\"=dword:00000006\n"
      << Kelvane << Pipe << int(TLogLevel::Control);
  QTest::newRow("active level as text")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"ActiveLevel\"=\"3\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp without colon")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"localhost\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp with empty host")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"::1:4228\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp port 0")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"localhost:0\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp port not a number")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"localhost:http\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp port above 65535")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"localhost:65536\"\n"
      << Kelvane << Pipe << Verbose;
  QTest::newRow("tcp port 65535")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugTCP\"=\"localhost:65535\"\n"
      << Kelvane
      << QStringLiteral("tcp(host=\"localhost\", port=\"65535\", reconnect=\"true\"), ") + Pipe
      << Verbose;
  QTest::newRow("mode 0")
      << KeyLine + "\"DebugEnabled\"=dword:00000000\n\"DirectDebugDirectory\"=\"%DIR%\"\n"
      << Kelvane << QString() << Message;
  QTest::newRow("mode out of range") << KeyLine + "\"DebugEnabled\"=dword:00000007\n"
                                     << Kelvane << QString() << Message;
  QTest::newRow("mode as text") << KeyLine + "\"DebugEnabled\"=\"1\"\n"
                                << Kelvane << QString() << Message;
  QTest::newRow("console, mode 0") << KeyLine + "\"DebugEnabled\"=dword:00000000\n"
                                   << QStringLiteral("TeskConsole.exe") << Mem << Message;
  QTest::newRow("console without extension, any case, mode missing")
      << KeyLine << QStringLiteral("/usr/bin/teskconsole") << Mem << Message;
  QTest::newRow("console memory size from the file size")
      << KeyLine + "\"DirectDebugFileSize\"=dword:00000010\n"
      << QStringLiteral("TESKCONSOLE.EXE")
      << QStringLiteral("mem(maxsize=\"16\", reconnect=\"true\")") << Message;
  QTest::newRow("console, mode 1 drops the memory target")
      << KeyLine + "\"DebugEnabled\"=dword:00000001\n"
      << QStringLiteral("TeskConsole.exe") << Pipe << Verbose;
  QTest::newRow("other console name")
      << KeyLine << QStringLiteral("TeskConsole2.exe") << QString() << Message;
}

void tst_MorvelDebug::configuration() {
  QFETCH(QString, reg);
  QFETCH(QString, module);
  QFETCH(QString, connections);
  QFETCH(int, level);

  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  QFile Plain(Dir.filePath(QStringLiteral("plain-file")));
  QVERIFY(Plain.open(QIODevice::WriteOnly));
  Plain.close();

  startWith(reg, module, Dir.path());
  QVERIFY(MorvelLogEngine());
  connections.replace(QStringLiteral("%DIR%"), Dir.path());
  QCOMPARE(MorvelLogEngine()->Connections(), connections);
  QCOMPARE(int(MorvelLogEngine()->Level()), level);
  QVERIFY(MorvelLogEngine()->Enabled());
  QCOMPARE(MorvelLogEngine()->DefaultLevel(), TLogLevel::Verbose);
  QVERIFY(!MorvelDebugDisabled());
  QVERIFY(GetLogger()->IsOn(lvFatal) == (level <= int(TLogLevel::Fatal)));
}

void tst_MorvelDebug::disabledHandsOutInactiveLogger() {
  startWith(KeyLine + "\"DebugEnabled\"=dword:00000002\n\"DirectDebugTCP\"=\"localhost:4228\"\n",
            QStringLiteral("kelvane"), QString());
  QVERIFY(MorvelDebugDisabled());
  QVERIFY(!MorvelLogEngine()->Enabled());
  QCOMPARE(MorvelLogEngine()->Connections(), QString());
  IMorvelLogger* Program = GetLogger();
  QCOMPARE(Program->GetName(), QStringLiteral("DebugDisabled"));
  QVERIFY(!Program->Active());
  QCOMPARE(GetModuleLogger(QStringLiteral("other.so")), Program);
  QCOMPARE(static_cast<IMorvelLogger*>(GetTraceLogger()), Program);
  for (int Level = lvDebug; Level <= lvControl; ++Level)
    QVERIFY2(!Program->IsOn(TMorvelLevel(Level)), qPrintable(QString::number(Level)));
}

void tst_MorvelDebug::programLoggerFiltersDebugRecordsAtDefaultLevel() {
  startWith(KeyLine + "\"DebugEnabled\"=dword:00000001\n", QStringLiteral("kelvane"), QString());
  QCOMPARE(GetLogger()->GetName(), QStringLiteral("kelvane"));
  QVERIFY(!GetLogger()->IsOn(lvDebug));
  QVERIFY(GetLogger()->IsOn(lvVerbose));
  QVERIFY(GetLogger()->IsOn());
  GetLogger()->SetActive(false);
  QVERIFY(!GetLogger()->IsOn(lvFatal));
}

void tst_MorvelDebug::fileTargetReceivesRecords() {
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  startWith(KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"%DIR%/logs\"\n",
            QStringLiteral("kelvane"), Dir.path());
  GetLogger()->EnterMethod(lvDebug, this, QStringLiteral("Hidden"));
  GetLogger()->LogMessage(QStringLiteral("hello %s"), {QStringLiteral("world")});
  GetLogger()->LogInteger(QStringLiteral("Answer"), 42);
  GetTraceLogger()->SendError(QStringLiteral("trace error"));
  FinalizeMorvelDebug();

#ifndef _WIN32
  // Made private whatever the umask, or the engine would refuse to write
  // there. (Qt reads no access lists on Windows; tst_WindowsFiles checks them.)
  QCOMPARE(QFileInfo(Dir.filePath(QStringLiteral("logs"))).permissions() &
               (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
           QFile::Permissions());
#endif
  QFile Log(Dir.filePath(QStringLiteral("logs/kelvane.sil")));
  QVERIFY2(Log.open(QIODevice::ReadOnly), qPrintable(Log.fileName()));
  const QList<QByteArray> Lines = Log.readAll().trimmed().split('\n');
  QCOMPARE(Lines.size(), 3);
  const QJsonObject First = QJsonDocument::fromJson(Lines[0]).object();
  QCOMPARE(First.value(QStringLiteral("title")).toString(), QStringLiteral("hello world"));
  QCOMPARE(First.value(QStringLiteral("session")).toString(), QStringLiteral("kelvane"));
  QCOMPARE(First.value(QStringLiteral("level")).toString(), LogLevelName(TLogLevel::Message));
  QCOMPARE(QJsonDocument::fromJson(Lines[1]).object().value(QStringLiteral("title")).toString(),
           QStringLiteral("Answer = 42"));
  QCOMPARE(QJsonDocument::fromJson(Lines[2]).object().value(QStringLiteral("level")).toString(),
           LogLevelName(TLogLevel::Error));
}

#ifndef _WIN32
void tst_MorvelDebug::logFolderIsReachedSafely_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("folder"); // relative folders start at the scratch folder
  QTest::addColumn<QStringList>("added");
  QTest::addColumn<QString>("error"); // all that goes to standard error

  const QByteArray Target = "target/\ntarget <mode 700>\n";
  const QByteArray Shared = Target + "shared/\nshared <mode 1777>\nshared/l -> ../target\n";
  const QString LinkInShared = QStringLiteral(
      "kelvane: no log file in \"%DIR%/shared/l/%1\": %DIR%/shared/l is a link in a folder "
      "others may write to\n");
  QTest::newRow("link in a world-writable folder, then \".\"")
      << Shared << QStringLiteral("%DIR%/shared/l/.") << QStringList()
      << LinkInShared.arg(QStringLiteral("."));
  QTest::newRow("link in a world-writable folder, then a new folder")
      << Shared << QStringLiteral("%DIR%/shared/l/new") << QStringList()
      << LinkInShared.arg(QStringLiteral("new"));
  QTest::newRow("link planted by another user in a world-writable sticky folder")
      << Shared + "shared/l <owner nobody>\n"
      << QStringLiteral("%DIR%/shared/l/.") << QStringList()
      << QStringLiteral("kelvane: no log file in \"%DIR%/shared/l/.\": %DIR%/shared/l is a link "
                        "that belongs to another user\n");
  QTest::newRow("link of root or ours in a folder of root or ours is followed")
      << Target + "safe/\nsafe/l -> ../target\n"
      << QStringLiteral("%DIR%/safe/l") << QStringList{QStringLiteral("target/kelvane.sil")}
      << QString();
  QTest::newRow("relative folder, made below the working folder")
      << QByteArray() << QStringLiteral("rel//logs/")
      << QStringList{QStringLiteral("rel"), QStringLiteral("rel/logs"),
                     QStringLiteral("rel/logs/kelvane.sil")}
      << QString();
  QTest::newRow("control characters in the name are shown escaped")
      << QByteArray("bad\\x1b]0;x\\x07\\xc2\\x9b = file\n")
      << QStringLiteral("%DIR%/bad\x1b]0;x\x07\u009b/sub") << QStringList()
      << QStringLiteral("kelvane: no log file in \"%DIR%/bad\\x1b]0;x\\x07\\x9b/sub\": "
                        "%DIR%/bad\\x1b]0;x\\x07\\x9b is not a folder\n");
}

void tst_MorvelDebug::logFolderIsReachedSafely() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, folder);
  QFETCH(QStringList, added);
  QFETCH(QString, error);
  if (!MayLayOutTree(tree))
    QSKIP("needs root to give entries to another user");
  TScratchDir Dir;
  QVERIFY(Dir.IsValid());
  const QString Scratch = Dir.Path();
  QCOMPARE(LayOutTree(Scratch, tree), QString());
  const QStringList Before = entriesBelow(Scratch);
  TWorkingFolder Working(Scratch);

  TErrorOutput Errors;
  startWith(KeyLine + "\"DebugEnabled\"=dword:00000001\n\"DirectDebugDirectory\"=\"" + folder +
                "\"\n",
            QStringLiteral("kelvane"), Scratch);
  for (int I = 0; I < 3; ++I)
    GetLogger()->LogMessage(QStringLiteral("record %1").arg(I));
  FinalizeMorvelDebug();
  error.replace(QStringLiteral("%DIR%"), Scratch);
  QCOMPARE(QString::fromUtf8(Errors.Stop()), error);

  QStringList Added = entriesBelow(Scratch);
  for (const QString& Entry : Before)
    Added.removeOne(Entry);
  QCOMPARE(Added, added);
  for (const QString& Entry : Added)
    if (Entry.endsWith(QLatin1String(".sil"))) {
      QFile Log(Scratch + u'/' + Entry);
      QVERIFY(Log.open(QIODevice::ReadOnly));
      QCOMPARE(Log.readAll().count('\n'), 3);
    }
}
#endif

void tst_MorvelDebug::loggerPerModuleIsCreatedOnce() {
  IMorvelLogger* A = GetModuleLogger(QStringLiteral("/usr/lib/LibFoo.so"));
  QCOMPARE(A->GetName(), QStringLiteral("libfoo.so"));
  QCOMPARE(GetModuleLogger(QStringLiteral("libfoo.SO")), A);
  QVERIFY(GetModuleLogger(QStringLiteral("libbar.so")) != A);
  QCOMPARE(GetLogger(), GetModuleLogger(QStringLiteral("Kelvane")));
}

void tst_MorvelDebug::inertLoggerAfterShutdown() {
  FinalizeMorvelDebug();
  QVERIFY(MorvelLogEngine() == nullptr);
  IMorvelLogger* Logger = GetLogger();
  QVERIFY(Logger);
  QVERIFY(!Logger->IsOn(lvFatal));
  Logger->LogError(QStringLiteral("goes nowhere"));
  QCOMPARE(GetModuleLogger(QStringLiteral("x")), Logger);
}

void tst_MorvelDebug::methodLogSkipsLeaveWhenRaising() {
  // The console's memory target at level lvMessage makes the records visible.
  startWith(KeyLine, QStringLiteral("TeskConsole.exe"), QString());
  {
    TMethodLog Log(lvMessage, this, QStringLiteral("Fine"));
    TMethodLog Hidden(lvDebug, QStringLiteral("BelowLevel"));
  }
  try {
    TMethodLog Log(lvMessage, QStringLiteral("Raises"));
    throw std::runtime_error("boom");
  } catch (const std::runtime_error&) {
  }
  QStringList Seen;
  for (const QByteArray& Line : MorvelLogEngine()->MemoryContents().trimmed().split('\n')) {
    const QJsonObject Record = QJsonDocument::fromJson(Line).object();
    Seen << Record.value(QStringLiteral("kind")).toString() + u' ' +
                Record.value(QStringLiteral("title")).toString();
  }
  const QString Enter = LogEntryKindName(TLogEntryKind::EnterMethod) + u' ';
  const QString Leave = LogEntryKindName(TLogEntryKind::LeaveMethod) + u' ';
  QCOMPARE(Seen, (QStringList{Enter + "tst_MorvelDebug.Fine", Leave + "tst_MorvelDebug.Fine",
                              Enter + "Raises"}));
}

void tst_MorvelDebug::registryReadersAssertTheirArguments_data() {
  QTest::addColumn<bool>("registry");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("message");
  QTest::newRow("no registry") << false << QStringLiteral("X")
                               << QStringLiteral("ARegistry is not assigned");
  QTest::newRow("empty name") << true << QString() << QStringLiteral("AName is empty");
}

void tst_MorvelDebug::registryReadersAssertTheirArguments() {
  QFETCH(bool, registry);
  QFETCH(QString, name);
  QFETCH(QString, message);
  FakePlatform Platform;
  ScopedPlatform Scope(Platform);
  TRegistry Registry;
  TRegistry* Used = registry ? &Registry : nullptr;
  const QString Expected = message + QStringLiteral(" (src/logging/MorvelDebug.cpp, line ");
  try {
    ReadRegistryText(Used, name, QString());
    QFAIL("ReadRegistryText accepted the arguments");
  } catch (const EAssertionFailed& E) {
    QVERIFY2(E.Message().startsWith(Expected), qPrintable(E.Message()));
  }
  try {
    ReadRegistryInteger(Used, name, 0);
    QFAIL("ReadRegistryInteger accepted the arguments");
  } catch (const EAssertionFailed& E) {
    QVERIFY2(E.Message().startsWith(Expected), qPrintable(E.Message()));
  }
}

void tst_MorvelDebug::registryReadersFallBackToDefaults_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("integer");
  QTest::newRow("missing") << QString() << QStringLiteral("default") << -7;
  QTest::newRow("string") << QStringLiteral("\"V\"=\" abc \"") << QStringLiteral("abc") << -7;
  QTest::newRow("blank string") << QStringLiteral("\"V\"=\" \t\"") << QStringLiteral("default")
                                << -7;
  QTest::newRow("expandable string")
      << QStringLiteral("\"V\"=hex(2):61,00,00,00") << QStringLiteral("a") << -7;
  QTest::newRow("dword") << QStringLiteral("\"V\"=dword:0000002a") << QStringLiteral("default")
                         << 42;
  QTest::newRow("qword") << QStringLiteral("\"V\"=hex(b):2a,00,00,00,00,00,00,00")
                         << QStringLiteral("default") << -7;
  QTest::newRow("binary") << QStringLiteral("\"V\"=hex:2a,00,00,00") << QStringLiteral("default")
                          << -7;
}

void tst_MorvelDebug::registryReadersFallBackToDefaults() {
  QFETCH(QString, value);
  QFETCH(QString, text);
  QFETCH(int, integer);
  FakePlatform Platform(
      QStringLiteral("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n") + value +
      u'\n');
  ScopedPlatform Scope(Platform);
  TRegistry Registry;
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("K")));
  QCOMPARE(ReadRegistryText(&Registry, QStringLiteral("V"), QStringLiteral("default")), text);
  QCOMPARE(ReadRegistryInteger(&Registry, QStringLiteral("V"), -7), integer);
}

KELVANE_TEST_MAIN(tst_MorvelDebug)
#include "tst_MorvelDebug.moc"
