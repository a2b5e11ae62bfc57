// The kelvane executable as a user and an administrator meet it: options,
// exit codes, and logging switched on through the machine file.

#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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
  QTest::newRow("help wins over version")
      << QStringList{QStringLiteral("--version"), QStringLiteral("--help")} << 0
      << QByteArray("Usage: kelvane") << QByteArray() << false;
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
  while (!QFileInfo(Exe).symLinkTarget().endsWith(QLatin1String("/kelvane-window")) && Timer.elapsed() < 20000 &&
         Process.state() == QProcess::Running)
    QTest::qWait(20);
  const QString Target = QFileInfo(Exe).symLinkTarget();
  // The window waits for its user: still running, until told to end.
  const bool Running = Process.state() == QProcess::Running;
  Process.terminate();
  if (!Process.waitForFinished(10000)) {
    Process.kill();
    Process.waitForFinished();
  }
  QVERIFY2(Target.endsWith(QLatin1String("/kelvane-window")), qPrintable(Target + Process.readAllStandardError()));
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
           QStringLiteral("kelvane: cannot start the window: %1/kelvane-window: No such file or directory\n")
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
  QVERIFY2(!Run.Out.contains("libQt6Gui") && !Run.Out.contains("libQt6Widgets"), Run.Out.constData());
}

KELVANE_TEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
