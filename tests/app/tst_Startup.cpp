// The kelvane executable as a user and an administrator meet it: options,
// exit codes, and logging switched on through the machine file.

#include "support/TestMain.h"

#include "app/Startup.h"
#include "common/Exceptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <new>
#include <unistd.h>

namespace {

struct TRun {
  int ExitCode = -1;
  QByteArray Out;
  QByteArray Err;
};

QProcessEnvironment environmentWith(const QString& AMachineReg, const QString& ARuntimeDir) {
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), AMachineReg);
  Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), ARuntimeDir);
  return Env;
}

TRun run(const QStringList& AArguments, const QProcessEnvironment& AEnv) {
  QProcess Process;
  Process.setProcessEnvironment(AEnv);
  Process.start(QStringLiteral(KELVANE_EXECUTABLE), AArguments);
  TRun Result;
  if (!Process.waitForFinished(30000)) {
    Process.kill();
    Process.waitForFinished();
    return Result;
  }
  Result.ExitCode = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
  Result.Out = Process.readAllStandardOutput();
  Result.Err = Process.readAllStandardError();
  return Result;
}

bool writeFile(const QString& APath, const QString& AText) {
  QFile File(APath);
  return File.open(QIODevice::WriteOnly) && File.write(AText.toUtf8()) >= 0;
}

QString machineReg(const QString& AValues) {
  return QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvel\\Tesk]\r\n"
                        "\"DebugEnabled\"=dword:00000001\r\n") +
         AValues;
}

} // namespace

class tst_Startup : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void initTestCase();
  void options_data();
  void options();
  void logFileHoldsJsonLines();
  void tcpListenerReceivesRecords();
  void unreachableViewerDoesNotDelayStartup();
  void windowProgramRunsInPlace();
  void missingWindowProgram();
  void printLoadsNoGuiLibrary();
  void outputThatCannotBeWritten_data();
  void outputThatCannotBeWritten();
  void printFailures_data();
  void printFailures();
  void diagnosticsEscapeControls();
  void snapshotReplay();
  void snapshotRefused_data();
  void snapshotRefused();

private:
  QTemporaryDir FDir;
  QProcessEnvironment FQuiet;
};

void tst_Startup::initTestCase() {
  QVERIFY(FDir.isValid());
  FQuiet = environmentWith(FDir.filePath(QStringLiteral("missing.reg")), FDir.path());
}

void tst_Startup::options_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QByteArray>("out");
  QTest::addColumn<QByteArray>("err");
  QTest::addColumn<bool>("headless");
  QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                           << QByteArray("Kelvane 4.0.0.1\n") << QByteArray() << false;
  QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                        << QByteArray("Usage: kelvane") << QByteArray() << false;
  QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 2 << QByteArray()
                                  << QByteArray("kelvane: unknown option '--bogus'\nUsage: kelvane")
                                  << false;
  QTest::newRow("unknown option with an escape sequence, escaped")
      << QStringList{QStringLiteral("--bo\x1b[2Jgus")} << 2 << QByteArray()
      << QByteArray("kelvane: unknown option '--bo\\x1b[2Jgus'\nUsage: kelvane") << false;
  QTest::newRow("help wins over version")
      << QStringList{QStringLiteral("--version"), QStringLiteral("--help")} << 0
      << QByteArray("Usage: kelvane") << QByteArray() << false;
  QTest::newRow("a snapshot option without its file")
      << QStringList{QStringLiteral("--print"), QStringLiteral("--snapshot")} << 2 << QByteArray()
      << QByteArray("kelvane: option '--snapshot' needs a file name\nUsage: kelvane") << false;
  QTest::newRow("saving a snapshot and printing at once")
      << QStringList{QStringLiteral("--save-snapshot=x.json"), QStringLiteral("--print")} << 2
      << QByteArray()
      << QByteArray("kelvane: --save-snapshot and --print cannot be combined\nUsage: kelvane")
      << false;
  QTest::newRow("print without a display")
      << QStringList{QStringLiteral("--print")} << 0
      << QByteArray("General Information\n\tComputer Name:\t") << QByteArray() << true;
  QTest::newRow("window without a display")
      << QStringList() << 1 << QByteArray()
      << QByteArray("kelvane: no display to show the window on; use --print to write the "
                    "information to standard output\n")
      << true;
}

void tst_Startup::options() {
  QFETCH(QStringList, arguments);
  QFETCH(int, exitCode);
  QFETCH(QByteArray, out);
  QFETCH(QByteArray, err);
  QFETCH(bool, headless);
  QProcessEnvironment Env = FQuiet;
  if (headless)
    for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      Env.remove(QLatin1String(Name));
  const TRun Run = run(arguments, Env);
  QCOMPARE(Run.ExitCode, exitCode);
  QVERIFY2(Run.Out.startsWith(out), Run.Out.constData());
  QVERIFY2(Run.Err.startsWith(err), Run.Err.constData());
  QCOMPARE(Run.Out.isEmpty(), out.isEmpty());
  QCOMPARE(Run.Err.isEmpty(), err.isEmpty());
}

void tst_Startup::logFileHoldsJsonLines() {
  QTemporaryDir Logs;
  QVERIFY(Logs.isValid());
  const QString Folder = Logs.filePath(QStringLiteral("fresh"));
  const QString Reg = FDir.filePath(QStringLiteral("file.reg"));
  QVERIFY(writeFile(Reg,
                    machineReg(QStringLiteral("\"DirectDebugDirectory\"=\"%1\"\r\n").arg(Folder))));

  const TRun Run = run({QStringLiteral("--version")}, environmentWith(Reg, FDir.path()));
  QCOMPARE(Run.ExitCode, 0);
  QFile Log(Folder + QStringLiteral("/kelvane.sil"));
  QVERIFY2(Log.open(QIODevice::ReadOnly), qPrintable(Log.fileName()));
  const QList<QByteArray> Lines = Log.readAll().trimmed().split('\n');
  QVERIFY(!Lines.isEmpty());
  bool Started = false;
  for (const QByteArray& Line : Lines) {
    QJsonParseError Error;
    const QJsonDocument Doc = QJsonDocument::fromJson(Line, &Error);
    QVERIFY2(Error.error == QJsonParseError::NoError && Doc.isObject(), Line.constData());
    const QJsonObject Record = Doc.object();
    for (const char* Key : {"time", "level", "session", "kind", "title", "data"})
      QVERIFY2(Record.contains(QLatin1String(Key)), Key);
    Started |= Record.value(QStringLiteral("title")).toString() ==
                   QStringLiteral("Kelvane 4.0.0.1 started") &&
               Record.value(QStringLiteral("session")).toString() == QStringLiteral("kelvane");
  }
  QVERIFY(Started);
}

void tst_Startup::tcpListenerReceivesRecords() {
  QTcpServer Server;
  QVERIFY(Server.listen(QHostAddress::LocalHost));
  const QString Reg = FDir.filePath(QStringLiteral("tcp.reg"));
  QVERIFY(writeFile(Reg, machineReg(QStringLiteral("\"DirectDebugTCP\"=\"127.0.0.1:%1\"\r\n")
                                        .arg(Server.serverPort()))));

  QProcess Process;
  Process.setProcessEnvironment(environmentWith(Reg, FDir.path()));
  Process.start(QStringLiteral(KELVANE_EXECUTABLE), {QStringLiteral("--version")});
  QVERIFY(Server.waitForNewConnection(15000));
  QTcpSocket* Peer = Server.nextPendingConnection();
  QByteArray Received;
  QElapsedTimer Timer;
  Timer.start();
  while (!Received.contains("Kelvane 4.0.0.1 started") && Timer.elapsed() < 15000) {
    Peer->waitForReadyRead(200);
    Received += Peer->readAll();
    if (Peer->state() != QAbstractSocket::ConnectedState && Peer->bytesAvailable() == 0)
      break;
  }
  QVERIFY2(Received.contains("Kelvane 4.0.0.1 started"), Received.constData());
  QVERIFY(Process.waitForFinished(15000));
  QCOMPARE(Process.exitCode(), 0);
  QVERIFY(QJsonDocument::fromJson(Received.left(Received.indexOf('\n'))).isObject());
}

void tst_Startup::unreachableViewerDoesNotDelayStartup() {
  quint16 Port = 0;
  {
    QTcpServer Closed;
    QVERIFY(Closed.listen(QHostAddress::LocalHost));
    Port = Closed.serverPort();
  }
  const QString Reg = FDir.filePath(QStringLiteral("unreachable.reg"));
  QVERIFY(writeFile(
      Reg, machineReg(QStringLiteral("\"DirectDebugTCP\"=\"127.0.0.1:%1\"\r\n").arg(Port))));
  QElapsedTimer Timer;
  Timer.start();
  const TRun Run = run({QStringLiteral("--version")}, environmentWith(Reg, FDir.path()));
  QCOMPARE(Run.ExitCode, 0);
  // Generous: a blocking connect would take the connect timeout or longer.
  QVERIFY2(Timer.elapsed() < 5000, qPrintable(QString::number(Timer.elapsed())));
}

// With a display, kelvane becomes the window program: the same process,
// so whoever started it still waits for it and gets its exit code.
void tst_Startup::windowProgramRunsInPlace() {
  QProcessEnvironment Env = FQuiet;
  Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess Process;
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral(KELVANE_EXECUTABLE), QStringList());
  QVERIFY(Process.waitForStarted());
  const QString Exe = QStringLiteral("/proc/%1/exe").arg(Process.processId());
  QElapsedTimer Timer;
  Timer.start();
  while (!QFileInfo(Exe).symLinkTarget().endsWith(QLatin1String("/kelvane-window")) &&
         Timer.elapsed() < 20000 && Process.state() == QProcess::Running)
    QTest::qWait(20);
  const QString Target = QFileInfo(Exe).symLinkTarget();
  // The window waits for its user: still running, until told to end.
  const bool Running = Process.state() == QProcess::Running;
  Process.terminate();
  if (!Process.waitForFinished(10000)) {
    Process.kill();
    Process.waitForFinished();
  }
  QVERIFY2(Target.endsWith(QLatin1String("/kelvane-window")),
           qPrintable(Target + Process.readAllStandardError()));
  QVERIFY(Running);
}

void tst_Startup::missingWindowProgram() {
  QTemporaryDir Alone;
  const QString Copy = Alone.filePath(QStringLiteral("kelvane"));
  QVERIFY(QFile::copy(QStringLiteral(KELVANE_EXECUTABLE), Copy));
  QProcessEnvironment Env = FQuiet;
  Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess Process;
  Process.setProcessEnvironment(Env);
  Process.start(Copy, QStringList());
  QVERIFY(Process.waitForFinished(30000));
  QCOMPARE(Process.exitCode(), 1);
  QCOMPARE(QString::fromUtf8(Process.readAllStandardError()),
           QStringLiteral(
               "kelvane: cannot start the window: %1/kelvane-window: No such file or directory\n")
               .arg(Alone.path()));
}

// The print-only program starts without Qt's GUI libraries, most of what a
// start would otherwise cost.
void tst_Startup::printLoadsNoGuiLibrary() {
  QProcessEnvironment Env = FQuiet;
  Env.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
  const TRun Run = run({QStringLiteral("--print")}, Env);
  QCOMPARE(Run.ExitCode, 0);
  QVERIFY2(Run.Out.contains("libQt6Core"), Run.Out.constData());
  QVERIFY2(!Run.Out.contains("libQt6Gui") && !Run.Out.contains("libQt6Widgets"),
           Run.Out.constData());
}

void tst_Startup::outputThatCannotBeWritten_data() {
  QTest::addColumn<QString>("option");
  QTest::addColumn<QString>("redirect"); // for standard output, in sh
  QTest::addColumn<QByteArray>("err");
  const QByteArray Full("kelvane: write error: No space left on device\n");
  const QByteArray Closed("kelvane: write error: Bad file descriptor\n");
  QTest::newRow("--print to a full disk")
      << QStringLiteral("--print") << QStringLiteral(">/dev/full") << Full;
  QTest::newRow("--help to a full disk")
      << QStringLiteral("--help") << QStringLiteral(">/dev/full") << Full;
  QTest::newRow("--version to a full disk")
      << QStringLiteral("--version") << QStringLiteral(">/dev/full") << Full;
  QTest::newRow("--print, output closed")
      << QStringLiteral("--print") << QStringLiteral(">&-") << Closed;
  QTest::newRow("--help, output closed")
      << QStringLiteral("--help") << QStringLiteral(">&-") << Closed;
  QTest::newRow("--version, output closed")
      << QStringLiteral("--version") << QStringLiteral(">&-") << Closed;
}

// Output that is lost is an error the caller hears of: one line naming it
// and exit code 1, whatever the option.
void tst_Startup::outputThatCannotBeWritten() {
  QFETCH(QString, option);
  QFETCH(QString, redirect);
  QFETCH(QByteArray, err);
  QProcess Process;
  Process.setProcessEnvironment(FQuiet);
  Process.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$1\" ") + redirect,
                 QStringLiteral(KELVANE_EXECUTABLE), option});
  QVERIFY(Process.waitForFinished(30000));
  QCOMPARE(Process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(Process.readAllStandardError(), err);
  QCOMPARE(Process.exitCode(), 1);
}

namespace {
void throwOutOfMemory(TObjectList<TKelvaneData>&, bool&) {
  throw std::bad_alloc();
}
void throwConvertError(TObjectList<TKelvaneData>&, bool&) {
  throw EConvertError(QStringLiteral("'x' is not a valid integer value"));
}
void throwSomethingElse(TObjectList<TKelvaneData>&, bool&) {
  throw 42;
}
void gatherOneLine(TObjectList<TKelvaneData>& AGroups, bool&) {
  auto Group = std::make_unique<TKelvaneData>();
  Group->SetCaption(QStringLiteral("General Information"));
  Group->AddSubItem(QStringLiteral("User"), QStringLiteral("anna"));
  AGroups.Add(std::move(Group));
}

// Standard error of this process while the object lives, kept in a file.
class TCapturedErrors {
public:
  TCapturedErrors() {
    std::fflush(stderr);
    FSaved = ::dup(2);
    FFile.open();
    ::dup2(FFile.handle(), 2);
  }
  QByteArray Take() {
    std::fflush(stderr);
    ::dup2(FSaved, 2);
    ::close(FSaved);
    FFile.seek(0);
    return FFile.readAll();
  }

private:
  QTemporaryFile FFile;
  int FSaved = -1;
};
} // namespace

void tst_Startup::printFailures_data() {
  QTest::addColumn<void*>("gather");
  QTest::addColumn<QString>("output"); // a file name for standard output
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QByteArray>("err");
  QTest::newRow("gathered and written")
      << reinterpret_cast<void*>(&gatherOneLine) << QStringLiteral("<file>") << 0 << QByteArray();
  QTest::newRow("out of memory while gathering")
      << reinterpret_cast<void*>(&throwOutOfMemory) << QStringLiteral("<file>") << 1
      << QByteArray("kelvane: out of memory\n");
  QTest::newRow("an error of the system's own")
      << reinterpret_cast<void*>(&throwConvertError) << QStringLiteral("<file>") << 1
      << QByteArray("kelvane: 'x' is not a valid integer value\n");
  QTest::newRow("something that is no exception class")
      << reinterpret_cast<void*>(&throwSomethingElse) << QStringLiteral("<file>") << 1
      << QByteArray("kelvane: ");
  QTest::newRow("a full disk") << reinterpret_cast<void*>(&gatherOneLine)
                               << QStringLiteral("/dev/full") << 1
                               << QByteArray("kelvane: write error: No space left on device\n");
}

// Whatever escapes the gathering (memory exhaustion included) ends --print
// with one line and exit code 1, never an abort.
void tst_Startup::printFailures() {
  QFETCH(void*, gather);
  QFETCH(QString, output);
  QFETCH(int, exitCode);
  QFETCH(QByteArray, err);
  QTemporaryFile Out;
  QVERIFY(Out.open());
  std::FILE* Stream = std::fopen(
      output == QLatin1String("<file>") ? qPrintable(Out.fileName()) : qPrintable(output), "w");
  QVERIFY(Stream);
  TCapturedErrors Errors;
  const int Code = PrintInformation(
      reinterpret_cast<void (*)(TObjectList<TKelvaneData>&, bool&)>(gather), Stream);
  std::fclose(Stream);
  const QByteArray Said = Errors.Take();
  QCOMPARE(Code, exitCode);
  QVERIFY2(Said.startsWith(err) && Said.count('\n') == (err.isEmpty() ? 0 : 1), Said.constData());
  if (exitCode == 0)
    QCOMPARE(Out.readAll(), QByteArray("General Information\n\tUser:\tanna\n\n\n"));
}

// A name in a message (here the machine file's path) reaches the terminal
// with its control characters escaped, so it can neither forge a line nor
// send a sequence.
void tst_Startup::diagnosticsEscapeControls() {
  const QString Reg = FDir.filePath(QStringLiteral("m\x1b[2Jx\n.reg"));
  QVERIFY(writeFile(Reg, QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvel\\Tesk]\r\n"
                                        "not a value line\r\n")));
  const TRun Run = run({QStringLiteral("--version")}, environmentWith(Reg, FDir.path()));
  QCOMPARE(Run.ExitCode, 0);
  QVERIFY2(Run.Err.startsWith("kelvane: " +
                              FDir.filePath(QStringLiteral("m\\x1b[2Jx\\n.reg:4")).toUtf8()),
           Run.Err.constData());
  QCOMPARE(Run.Err.count('\n'), 1);
  QVERIFY(!Run.Err.contains('\x1b'));
}

// A machine saved as a file runs through the whole program as the live one
// would, without root and without its network: the text is the golden one,
// and saving the replayed machine gives the file back.
void tst_Startup::snapshotReplay() {
  const QString Snapshot = QFINDTESTDATA("../fixtures/platform/snapshots/office-pc.json");
  QFile Golden(QFINDTESTDATA("../fixtures/platform/snapshots/office-pc.print"));
  QVERIFY(Golden.open(QIODevice::ReadOnly));
  QProcessEnvironment Env = FQuiet;
  Env.remove(QStringLiteral("USERDOMAIN"));
  Env.remove(QStringLiteral("LOGONSERVER"));
  Env.insert(QStringLiteral("temp"), FDir.path());
  const TRun Run = run({QStringLiteral("--snapshot"), Snapshot, QStringLiteral("--print")}, Env);
  QVERIFY2(Run.ExitCode == 0, Run.Err.constData());
  QCOMPARE(Run.Out, Golden.readAll());

  const QString Saved = FDir.filePath(QStringLiteral("resaved.json"));
  const TRun Save =
      run({QStringLiteral("--snapshot"), Snapshot, QStringLiteral("--save-snapshot"), Saved}, Env);
  QVERIFY2(Save.ExitCode == 0, Save.Err.constData());
  QFile Original(Snapshot), Again(Saved);
  QVERIFY(Original.open(QIODevice::ReadOnly) && Again.open(QIODevice::ReadOnly));
  QCOMPARE(QJsonDocument::fromJson(Again.readAll()), QJsonDocument::fromJson(Original.readAll()));
}

void tst_Startup::snapshotRefused_data() {
  QTest::addColumn<QByteArray>("content"); // null: no file at all
  QTest::addColumn<QByteArray>("reason");
  QTest::newRow("missing") << QByteArray() << QByteArray("No such file or directory");
  QTest::newRow("not JSON") << QByteArray("<xml/>") << QByteArray("not JSON");
  QTest::newRow("a later version")
      << QByteArray(R"({"format": "kelvane-snapshot", "version": 7})")
      << QByteArray("snapshot version 7; this program reads version 1");
  QTest::newRow("100 MB") << QByteArray(100 * 1000 * 1000, ' ')
                          << QByteArray("larger than 33554432 bytes");
}

// One line naming the file and the cause, exit code 1, nothing printed, for
// --print and for the window alike (refused before a display is needed).
void tst_Startup::snapshotRefused() {
  QFETCH(QByteArray, content);
  QFETCH(QByteArray, reason);
  const QString File = FDir.filePath(QStringLiteral("refused.json"));
  QFile::remove(File);
  if (!content.isNull())
    QVERIFY(writeFile(File, QString::fromLatin1(content)));
  for (const QStringList& Mode : {QStringList{QStringLiteral("--print")}, QStringList()}) {
    const TRun Run = run(Mode + QStringList{QStringLiteral("--snapshot"), File}, FQuiet);
    QCOMPARE(Run.ExitCode, 1);
    QCOMPARE(Run.Out, QByteArray());
    QVERIFY2(Run.Err.startsWith("kelvane: " + File.toUtf8() + ": " + reason), Run.Err.constData());
    QCOMPARE(Run.Err.count('\n'), 1);
  }
  QFile::remove(File);
}

KELVANE_TEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
