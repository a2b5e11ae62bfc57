// The logging engine: the connection-text grammar, the line formats, and
// each kind of target (file, text, mem, tcp, pipe).

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "logging/LogConnections.h"
#include "logging/LogEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <optional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TLogRecord record(const QString& ATitle, TLogLevel ALevel = TLogLevel::Message,
                  const QString& AData = {}) {
  TLogRecord R;
  R.Time = QDateTime(QDate(2026, 12, 10), QTime(6, 6, 35, 123), Qt::OffsetFromUTC, 3600);
  R.Level = ALevel;
  R.Kind = TLogEntryKind::Message;
  R.Session = QStringLiteral("kelvane");
  R.Title = ATitle;
  R.Data = AData;
  return R;
}

QByteArray readFile(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

QString quoted(const QString& AValue) {
  QString V = AValue;
  V.replace(u'"', QStringLiteral("\"\""));
  return u'"' + V + u'"';
}

// Reads from ASocket until it holds ACount lines, within a bounded time.
template <class TSocket> QList<QByteArray> readLines(TSocket* ASocket, int ACount) {
  QByteArray Data;
  QElapsedTimer Timer;
  Timer.start();
  while (Data.count('\n') < ACount && Timer.elapsed() < 10000) {
    ASocket->waitForReadyRead(100);
    Data += ASocket->readAll();
  }
  return Data.trimmed().split('\n');
}

// Sets XDG_RUNTIME_DIR for one test and puts the old value back.
class TRuntimeDirGuard {
public:
  explicit TRuntimeDirGuard(const QByteArray* AValue) : FSaved(qgetenv("XDG_RUNTIME_DIR")) {
    if (AValue)
      qputenv("XDG_RUNTIME_DIR", *AValue);
    else
      qunsetenv("XDG_RUNTIME_DIR");
  }
  ~TRuntimeDirGuard() {
    if (FSaved.isNull())
      qunsetenv("XDG_RUNTIME_DIR");
    else
      qputenv("XDG_RUNTIME_DIR", FSaved);
  }

private:
  QByteArray FSaved;
};

// A viewer that never answers: it listens, but its backlog is full, so the
// kernel drops a new connection's first packet (TCP) or refuses it (a
// Unix-domain socket) and never completes it. APath empty: TCP on loopback.
class TSilentViewer {
public:
  explicit TSilentViewer(const QString& APath = {}) {
    sockaddr_storage Address{};
    socklen_t Length = 0;
    if (APath.isEmpty()) {
      sockaddr_in In{};
      In.sin_family = AF_INET;
      In.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      std::memcpy(&Address, &In, sizeof In);
      Length = sizeof In;
    } else {
      sockaddr_un Un{};
      Un.sun_family = AF_UNIX;
      const QByteArray Path = QFile::encodeName(APath);
      std::memcpy(Un.sun_path, Path.constData(),
                  std::min(sizeof Un.sun_path - 1, size_t(Path.size())));
      std::memcpy(&Address, &Un, sizeof Un);
      Length = sizeof Un;
    }
    const auto Raw = reinterpret_cast<sockaddr*>(&Address);
    FListener = ::socket(Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FListener < 0 || ::bind(FListener, Raw, Length) != 0 || ::listen(FListener, 0) != 0 ||
        ::getsockname(FListener, Raw, &Length) != 0)
      return;
    FPort = APath.isEmpty() ? ntohs(reinterpret_cast<sockaddr_in*>(Raw)->sin_port) : 0;
    // Fills the backlog of one.
    FFiller = ::socket(Address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FReady = FFiller >= 0 && ::connect(FFiller, Raw, Length) == 0;
  }
  ~TSilentViewer() {
    for (const int Fd : {FFiller, FListener})
      if (Fd >= 0)
        ::close(Fd);
  }
  TSilentViewer(const TSilentViewer&) = delete;
  TSilentViewer& operator=(const TSilentViewer&) = delete;

  bool IsReady() const { return FReady; }
  quint16 Port() const { return FPort; }
  // Connections that reached the backlog besides the filler.
  int Answered() const {
    int Count = 0;
    for (int Fd;
         (Fd = ::accept4(FListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
      ::close(Fd);
      ++Count;
    }
    return Count - 1;
  }

private:
  int FListener = -1;
  int FFiller = -1;
  quint16 FPort = 0;
  bool FReady = false;
};

// A tcp or pipe connection with its grace and connect time as long as a
// test may take: leaving early can only be the target's own decision.
TConnectionSettings patientStream(bool APipe, quint16 APort) {
  TConnectionSettings Settings;
  Settings.Kind = APipe ? TConnectionSettings::TKind::Pipe : TConnectionSettings::TKind::Tcp;
  Settings.Port = APort;
  Settings.Reconnect = true;
  Settings.TimeoutMs = 60000;
  Settings.Grace = std::chrono::seconds(60);
  return Settings;
}

} // namespace

class tst_LogEngine : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void parse_data();
  void parse();
  void optionValues_data();
  void optionValues();
  void badOptionValues_data();
  void badOptionValues();
  void malformedTextKeepsConnections_data();
  void malformedTextKeepsConnections();
  void jsonLine();
  void textLine();
  void fileTargetAppendsOrStartsEmpty();
  void fileTargetRotates();
  void fileTargetRotatesFullFileBeforeWriting();
  void fileTargetRefusesPlantedFile_data();
  void fileTargetRefusesPlantedFile();
  void fileTargetRefusesSharedFolder();
  void fileTargetRefusesPlantedFifo();
  void fileTargetFolderThroughLink_data();
  void fileTargetFolderThroughLink();
  void fullFileRotatesBeforeFirstRecord();
  void memoryKeepsNewestWithinBound();
  void levelOptionFilters();
  void tcpDeliversRecordsWrittenWhileConnecting();
  void tcpDeliversQueueOfShortLivedEngine();
  void streamDrainsConnectedTargetOnExit_data();
  void streamDrainsConnectedTargetOnExit();
  void streamDropsUnconnectedTargetOnExit_data();
  void streamDropsUnconnectedTargetOnExit();
  void tcpUnreachableNeitherBlocksNorRaises_data();
  void tcpUnreachableNeitherBlocksNorRaises();
  void tcpReconnectsWhenViewerAppears();
  void tcpViewerClosing_data();
  void tcpViewerClosing();
  void pipeSocketPath_data();
  void pipeSocketPath();
  void pipeDeliversOnlyToOwnFolder_data();
  void pipeDeliversOnlyToOwnFolder();
};

void tst_LogEngine::parse_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("result"); // protocols joined by ",", or "!" and the error
  QTest::newRow("empty") << QString() << QString();
  QTest::newRow("blanks") << QStringLiteral(" \t ") << QString();
  QTest::newRow("the configuration's texts")
      << QStringLiteral("tcp(host=\"localhost\", port=\"4228\", reconnect=\"true\"), "
                        "file(filename=\"/v/k.sil\", "
                        "maxsize=\"5120\", maxparts=\"5\", append=\"true\", reconnect=\"true\"), "
                        "pipe(reconnect=\"true\")")
      << QStringLiteral("tcp,file,pipe");
  QTest::newRow("memory") << QStringLiteral("mem(maxsize=\"5120\", reconnect=\"true\")")
                          << QStringLiteral("mem");
  QTest::newRow("letter case and blanks")
      << QStringLiteral(" MEM ( MaxSize = 10 ) , Text(FileName=x.log)")
      << QStringLiteral("mem,text");
  QTest::newRow("no options") << QStringLiteral("pipe()") << QStringLiteral("pipe");
  QTest::newRow("missing parenthesis")
      << QStringLiteral("file")
      << QStringLiteral("!Invalid connection text at position 5: \"(\" expected after \"file\"");
  QTest::newRow("unknown protocol")
      << QStringLiteral("http(host=\"x\")")
      << QStringLiteral("!Invalid connection text at position 1: unknown protocol \"http\"");
  QTest::newRow("unknown option")
      << QStringLiteral("file(size=\"1\")")
      << QStringLiteral("!Invalid connection text at position 6: unknown option \"size\" for file");
  QTest::newRow("option of another protocol")
      << QStringLiteral("mem(host=\"x\")")
      << QStringLiteral("!Invalid connection text at position 5: unknown option \"host\" for mem");
  QTest::newRow("unterminated quote")
      << QStringLiteral("file(filename=\"x)")
      << QStringLiteral("!Invalid connection text at position 15: unterminated quoted value");
  QTest::newRow("trailing text")
      << QStringLiteral("pipe() junk")
      << QStringLiteral("!Invalid connection text at position 8: \",\" or end of text expected");
  QTest::newRow("missing value") << QStringLiteral("tcp(port=)")
                                 << QStringLiteral(
                                        "!Invalid connection text at position 10: value expected");
  QTest::newRow("dangling comma in options")
      << QStringLiteral("pipe(reconnect=\"true\",)")
      << QStringLiteral("!Invalid connection text at position 23: option name expected");
  QTest::newRow("dangling comma between connections")
      << QStringLiteral("pipe(),")
      << QStringLiteral("!Invalid connection text at position 8: protocol name expected");
  QTest::newRow("missing closing parenthesis")
      << QStringLiteral("pipe(reconnect=\"true\"")
      << QStringLiteral("!Invalid connection text at position 22: \",\" or \")\" expected");
}

void tst_LogEngine::parse() {
  QFETCH(QString, text);
  QFETCH(QString, result);
  try {
    QStringList Protocols;
    for (const TParsedConnection& Parsed : ParseConnectionText(text))
      Protocols << Parsed.Protocol;
    QCOMPARE(Protocols.join(u','), result);
  } catch (const ELogEngineError& E) {
    QCOMPARE(u'!' + E.Message(), result);
  }
}

void tst_LogEngine::optionValues_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("options"); // name=value of the first connection, joined by "|"
  QTest::newRow("quoted") << QStringLiteral("file(filename=\"a b.sil\")")
                          << QStringLiteral("filename=a b.sil");
  QTest::newRow("doubled quote inside") << QStringLiteral("file(filename=\"say \"\"hi\"\".sil\")")
                                        << QStringLiteral("filename=say \"hi\".sil");
  QTest::newRow("separators inside quotes")
      << QStringLiteral("file(filename=\"a,b)c(d=e\")") << QStringLiteral("filename=a,b)c(d=e");
  QTest::newRow("empty quoted") << QStringLiteral("tcp(host=\"\")") << QStringLiteral("host=");
  QTest::newRow("bare with blanks inside")
      << QStringLiteral("file( filename = My Logs/k.sil , append=yes)")
      << QStringLiteral("filename=My Logs/k.sil|append=yes");
  QTest::newRow("repeated option, in text order")
      << QStringLiteral("mem(maxsize=1, maxsize=\"2\")") << QStringLiteral("maxsize=1|maxsize=2");
}

void tst_LogEngine::optionValues() {
  QFETCH(QString, text);
  QFETCH(QString, options);
  const std::vector<TParsedConnection> Parsed = ParseConnectionText(text);
  QCOMPARE(Parsed.size(), size_t(1));
  QStringList Found;
  for (const TConnectionOption& Option : Parsed.front().Options)
    Found << Option.Name + u'=' + Option.Value;
  QCOMPARE(Found.join(u'|'), options);
}

void tst_LogEngine::badOptionValues_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("error"); // empty: accepted
  const QString At = QStringLiteral("Invalid connection text at position %1: ");
  QTest::newRow("size not a number")
      << QStringLiteral("mem(maxsize=\"abc\")")
      << At.arg(13) + QStringLiteral("invalid value \"abc\" for maxsize of mem, a whole number "
                                     "from 0 to 1048576 expected");
  QTest::newRow("negative size")
      << QStringLiteral("file(filename=\"a\", maxsize=\"-1\")")
      << At.arg(28) + QStringLiteral("invalid value \"-1\" for maxsize of file, a whole number "
                                     "from 0 to 1073741824 expected");
  QTest::newRow("no parts") << QStringLiteral("file(filename=a, maxparts=0)")
                            << At.arg(27) + QStringLiteral("invalid value \"0\" for maxparts of "
                                                           "file, a whole number from 1 to 1000 "
                                                           "expected");
  QTest::newRow("port not a number")
      << QStringLiteral("tcp(port=\"http\")")
      << At.arg(10) + QStringLiteral("invalid value \"http\" for port of tcp, a whole number "
                                     "from 0 to 2147483647 expected");
  QTest::newRow("negative port") << QStringLiteral("tcp(port=-1)")
                                 << At.arg(10) +
                                        QStringLiteral(
                                            "invalid value \"-1\" for port of tcp, a whole number "
                                            "from 0 to 2147483647 expected");
  QTest::newRow("port above 65535, never connects")
      << QStringLiteral("tcp(port=\"70000\")") << QString();
  QTest::newRow("no connect time")
      << QStringLiteral("tcp(timeout=0)")
      << At.arg(13) + QStringLiteral("invalid value \"0\" for timeout of tcp, a whole number "
                                     "from 1 to 600000 expected");
  QTest::newRow("empty host") << QStringLiteral("tcp(host=\" \")")
                              << At.arg(10) + QStringLiteral("invalid value \" \" for host of "
                                                             "tcp, a non-empty text expected");
  QTest::newRow("pipe name leaving the folder")
      << QStringLiteral("pipe(pipename=\"../x\")")
      << At.arg(15) + QStringLiteral("invalid value \"../x\" for pipename of pipe, a name "
                                     "without \"/\" expected");
  QTest::newRow("not a Boolean")
      << QStringLiteral("tcp(reconnect=\"maybe\")")
      << At.arg(15) +
             QStringLiteral("invalid value \"maybe\" for reconnect of tcp, true or false expected");
  QTest::newRow("Booleans in any letter case")
      << QStringLiteral("mem(reconnect=YES), mem(reconnect=False), mem(reconnect=1)") << QString();
  QTest::newRow("unknown level") << QStringLiteral("mem(level=\"loud\")")
                                 << At.arg(11) +
                                        QStringLiteral(
                                            "invalid value \"loud\" for level of mem, a level name "
                                            "expected");
  QTest::newRow("level in any letter case") << QStringLiteral("mem(level=Warning)") << QString();
  QTest::newRow("file without name")
      << QStringLiteral("mem(), text(maxsize=\"1\")")
      << At.arg(8) + QStringLiteral("option filename of text is missing");
  QTest::newRow("file with empty name")
      << QStringLiteral("file(filename=\"\")")
      << At.arg(15) + QStringLiteral("invalid value \"\" for filename of file, a non-empty text "
                                     "expected");
}

void tst_LogEngine::badOptionValues() {
  QFETCH(QString, text);
  QFETCH(QString, error);
  TLogEngine Engine(QStringLiteral("kelvane"));
  try {
    Engine.SetConnections(text);
    QVERIFY2(error.isEmpty(), "no error raised");
    QVERIFY(Engine.HasConnections());
  } catch (const ELogEngineError& E) {
    QCOMPARE(E.Message(), error);
    QCOMPARE(E.ClassName(), QStringLiteral("ELogEngineError"));
    QVERIFY(!Engine.HasConnections());
  }
}

void tst_LogEngine::malformedTextKeepsConnections_data() {
  QTest::addColumn<QString>("text"); // %1: the port of a listening viewer
  QTest::newRow("syntax error after a good connection")
      << QStringLiteral("tcp(port=\"%1\"), bogus(");
  QTest::newRow("bad value after a good connection")
      << QStringLiteral("tcp(port=\"%1\"), mem(maxsize=\"x\")");
}

void tst_LogEngine::malformedTextKeepsConnections() {
  QFETCH(QString, text);
  QTcpServer Viewer;
  QVERIFY(Viewer.listen(QHostAddress::LocalHost));
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("mem()"));
  QVERIFY_THROWS_EXCEPTION(ELogEngineError, Engine.SetConnections(text.arg(Viewer.serverPort())));
  QCOMPARE(Engine.Connections(), QStringLiteral("mem()"));
  QVERIFY(Engine.HasConnections());
  Engine.Dispatch(record(QStringLiteral("still here")));
  QVERIFY(Engine.MemoryContents().contains("still here"));
  // Nothing of the rejected text was started.
  QVERIFY(!Viewer.waitForNewConnection(300));
  Engine.SetConnections(QString());
  QVERIFY(!Engine.HasConnections());
}

void tst_LogEngine::jsonLine() {
  TLogRecord R = record(QStringLiteral("a\"b\\c\nd") + QChar(1) + QChar(0) + QChar(0xD800) +
                            QStringLiteral(" é 😀"),
                        TLogLevel::Warning, QStringLiteral("tab\there"));
  R.Kind = TLogEntryKind::EnterMethod;
  QCOMPARE(FormatJsonLine(R),
           QByteArray("{\"time\":\"2026-12-10T06:06:35.123+01:00\",\"level\":\"warning\","
                      "\"session\":\"kelvane\","
                      "\"kind\":\"enter\",\"title\":\"a\\\"b\\\\c\\nd\\u0001\\u0000\xEF\xBF\xBD "
                      "\xC3\xA9 \xF0\x9F\x98\x80\","
                      "\"data\":\"tab\\there\"}"));
  R.Time =
      QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60));
  QVERIFY(FormatJsonLine(R).startsWith("{\"time\":\"2026-01-02T03:04:05.006-05:30\","));
  // A record without a time is stamped rather than written with an empty one.
  R.Time = QDateTime();
  const QRegularExpression Stamp(
      QStringLiteral(R"(^\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d","level")"));
  QVERIFY2(Stamp.match(QString::fromUtf8(FormatJsonLine(R))).hasMatch(),
           FormatJsonLine(R).constData());
}

void tst_LogEngine::textLine() {
  TLogRecord R = record(QStringLiteral("two\nlines"), TLogLevel::Error, QStringLiteral("C:\\path"));
  QCOMPARE(FormatTextLine(R),
           QByteArray("2026-12-10 06:06:35.123 error kelvane [message] two\\nlines | C:\\\\path"));
  R.Data.clear();
  QCOMPARE(FormatTextLine(R),
           QByteArray("2026-12-10 06:06:35.123 error kelvane [message] two\\nlines"));
}

void tst_LogEngine::fileTargetAppendsOrStartsEmpty() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  QFile Old(Path);
  QVERIFY(Old.open(QIODevice::WriteOnly) && Old.write("old\n") == 4);
  Old.close();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("file(filename=%1, append=\"true\")").arg(quoted(Path)));
    Engine.Dispatch(record(QStringLiteral("one")));
  }
  QVERIFY(readFile(Path).startsWith("old\n{\"time\""));
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("text(filename=%1)").arg(quoted(Path)));
    Engine.Dispatch(record(QStringLiteral("two")));
  }
  QCOMPARE(readFile(Path), QByteArray("2026-12-10 06:06:35.123 message kelvane [message] two\n"));
  struct stat Status {};
  QCOMPARE(::stat(QFile::encodeName(Path).constData(), &Status), 0);
  QCOMPARE(Status.st_mode & 0777, 0600u);
}

void tst_LogEngine::fileTargetRotates() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(
        QStringLiteral("file(filename=%1, maxsize=\"1\", maxparts=\"3\")").arg(quoted(Path)));
    for (int I = 0; I < 60; ++I)
      Engine.Dispatch(record(QStringLiteral("record %1").arg(I, 3, 10, QChar(u'0'))));
  }
  QStringList Files = QDir(Dir.path()).entryList(QDir::Files, QDir::Name);
  QCOMPARE(Files, (QStringList{QStringLiteral("k.1.sil"), QStringLiteral("k.2.sil"),
                               QStringLiteral("k.sil")}));
  QByteArray All;
  for (const char* Name : {"k.2.sil", "k.1.sil", "k.sil"}) {
    const QByteArray Part = readFile(Dir.filePath(QLatin1String(Name)));
    QVERIFY2(Part.size() <= 1024, Name);
    All += Part;
  }
  QVERIFY(All.endsWith("\"title\":\"record 059\",\"data\":\"\"}\n"));
  // The parts hold consecutive records: nothing lost between them.
  const QList<QByteArray> Lines = All.trimmed().split('\n');
  const int First = Lines.first().mid(Lines.first().indexOf("record ") + 7, 3).toInt();
  for (int I = 0; I < Lines.size(); ++I)
    QVERIFY(
        Lines[I].contains(QStringLiteral("record %1").arg(First + I, 3, 10, QChar(u'0')).toUtf8()));
}

void tst_LogEngine::fileTargetRotatesFullFileBeforeWriting() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  const QByteArray Earlier = QByteArray(1000, 'x') + '\n';
  QFile Full(Path);
  QVERIFY(Full.open(QIODevice::WriteOnly) && Full.write(Earlier) == Earlier.size());
  Full.close();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(
        QStringLiteral("file(filename=%1, maxsize=\"1\", append=\"true\")").arg(quoted(Path)));
    for (int I = 0; I < 3; ++I)
      Engine.Dispatch(record(QStringLiteral("record %1").arg(I)));
  }
  QCOMPARE(readFile(Dir.filePath(QStringLiteral("k.1.sil"))), Earlier);
  const QList<QByteArray> Lines = readFile(Path).trimmed().split('\n');
  QCOMPARE(Lines.size(), 3);
  QVERIFY(Lines.first().contains("\"record 0\""));
}

void tst_LogEngine::fileTargetRefusesPlantedFile_data() {
  QTest::addColumn<QString>("planted"); // name in the log folder
  QTest::addColumn<bool>("fifo");       // a FIFO instead of a link to the victim
  QTest::newRow("link at the log file") << QStringLiteral("k.sil") << false;
  QTest::newRow("link at a rotated part") << QStringLiteral("k.1.sil") << false;
  QTest::newRow("link at the oldest part") << QStringLiteral("k.2.sil") << false;
  QTest::newRow("FIFO at the log file") << QStringLiteral("k.sil") << true;
}

void tst_LogEngine::fileTargetRefusesPlantedFile() {
  QFETCH(QString, planted);
  QFETCH(bool, fifo);
  QTemporaryDir Dir;
  const QString Victim = Dir.filePath(QStringLiteral("victim"));
  QFile File(Victim);
  QVERIFY(File.open(QIODevice::WriteOnly) && File.write("precious\n") == 9);
  File.close();
  const QString Plant = Dir.filePath(planted);
  if (fifo)
    QCOMPARE(::mkfifo(QFile::encodeName(Plant).constData(), 0600), 0);
  else
    QVERIFY(QFile::link(Victim, Plant));
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  QElapsedTimer Timer;
  Timer.start();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(
        QStringLiteral("file(filename=%1, append=\"true\", maxsize=\"1\", maxparts=\"3\")")
            .arg(quoted(Path)));
    for (int I = 0; I < 30; ++I)
      Engine.Dispatch(record(QStringLiteral("must not land in the victim")));
  }
  QVERIFY2(Timer.elapsed() < 3000, "writing waited for the planted file");
  QCOMPARE(readFile(Victim), QByteArray("precious\n"));
}

void tst_LogEngine::fileTargetRefusesSharedFolder() {
  QTemporaryDir Dir;
  QVERIFY(QFile::setPermissions(Dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::WriteGroup |
                                                QFile::ExeGroup));
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("file(filename=%1)").arg(quoted(Path)));
    Engine.Dispatch(record(QStringLiteral("x")));
  }
  QVERIFY(!QFile::exists(Path));
}

void tst_LogEngine::fileTargetRefusesPlantedFifo() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  QCOMPARE(::mkfifo(QFile::encodeName(Path).constData(), 0600), 0);
  QElapsedTimer Timer;
  Timer.start();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("file(filename=%1, append=\"true\")").arg(quoted(Path)));
    Engine.Dispatch(record(QStringLiteral("must not block")));
  }
  // Opening a FIFO for writing would wait for a reader for ever.
  QVERIFY2(Timer.elapsed() < 3000, qPrintable(QString::number(Timer.elapsed())));
  QVERIFY(QFileInfo(Path).exists() && !QFileInfo(Path).isFile());
}

void tst_LogEngine::fileTargetFolderThroughLink_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("filename"); // below the scratch folder
  QTest::addColumn<QStringList>("written");

  const QByteArray Target = "target/\ntarget <mode 700>\n";
  QTest::newRow("link in a world-writable folder")
      << Target + "shared/\nshared <mode 1777>\nshared/l -> ../target\n"
      << QStringLiteral("shared/l/./k.sil") << QStringList();
  QTest::newRow("link in a folder of ours, rotated behind it")
      << Target + "safe/\nsafe/l -> ../target\n"
      << QStringLiteral("safe/l/k.sil")
      << QStringList{QStringLiteral("k.1.sil"), QStringLiteral("k.sil")};
}

void tst_LogEngine::fileTargetFolderThroughLink() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, filename);
  QFETCH(QStringList, written);
  TScratchDir Dir;
  QVERIFY(Dir.IsValid());
  const QString Scratch = Dir.Path();
  QCOMPARE(LayOutTree(Scratch, tree), QString());
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("file(filename=%1, maxsize=\"1\", maxparts=\"2\")")
                              .arg(quoted(Scratch + u'/' + filename)));
    for (int I = 0; I < 30; ++I)
      Engine.Dispatch(record(QStringLiteral("record %1").arg(I)));
  }
  QCOMPARE(QDir(Scratch + QStringLiteral("/target")).entryList(QDir::Files, QDir::Name), written);
}

void tst_LogEngine::fullFileRotatesBeforeFirstRecord() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("k.sil"));
  QFile Full(Path);
  QVERIFY(Full.open(QIODevice::WriteOnly) && Full.write(QByteArray(1024, 'x')) == 1024);
  Full.close();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(
        QStringLiteral("file(filename=%1, maxsize=\"1\", maxparts=\"2\", append=\"true\")")
            .arg(quoted(Path)));
    Engine.Dispatch(record(QStringLiteral("fresh")));
  }
  QCOMPARE(readFile(Dir.filePath(QStringLiteral("k.1.sil"))), QByteArray(1024, 'x'));
  QVERIFY(readFile(Path).contains("\"fresh\""));
  QVERIFY(readFile(Path).size() < 1024);
}

void tst_LogEngine::memoryKeepsNewestWithinBound() {
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("mem(maxsize=\"1\")"));
  for (int I = 0; I < 100; ++I)
    Engine.Dispatch(record(QStringLiteral("record %1").arg(I)));
  const QByteArray Held = Engine.MemoryContents();
  QVERIFY(Held.size() <= 1024);
  QVERIFY(Held.endsWith("\"title\":\"record 99\",\"data\":\"\"}\n"));
  QVERIFY(!Held.contains("\"record 0\""));
  QVERIFY(Held.startsWith("{\"time\""));
}

void tst_LogEngine::levelOptionFilters() {
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("mem(level=\"warning\")"));
  Engine.Dispatch(record(QStringLiteral("quiet"), TLogLevel::Message));
  Engine.Dispatch(record(QStringLiteral("loud"), TLogLevel::Error));
  const QByteArray Held = Engine.MemoryContents();
  QVERIFY(!Held.contains("quiet"));
  QVERIFY(Held.contains("loud"));
}

void tst_LogEngine::tcpDeliversRecordsWrittenWhileConnecting() {
  QTcpServer Server;
  QVERIFY(Server.listen(QHostAddress::LocalHost));
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("tcp(host=\"127.0.0.1\", port=\"%1\", reconnect=\"true\")")
                            .arg(Server.serverPort()));
  for (int I = 0; I < 3; ++I)
    Engine.Dispatch(record(QStringLiteral("queued %1").arg(I)));
  QVERIFY(Server.waitForNewConnection(10000));
  QTcpSocket* Peer = Server.nextPendingConnection();
  const QList<QByteArray> Lines = readLines(Peer, 3);
  QCOMPARE(Lines.size(), 3);
  for (int I = 0; I < 3; ++I)
    QVERIFY2(Lines[I].contains(QStringLiteral("\"queued %1\"").arg(I).toUtf8()),
             Lines[I].constData());
}

void tst_LogEngine::tcpDeliversQueueOfShortLivedEngine() {
  QTcpServer Server;
  QVERIFY(Server.listen(QHostAddress::LocalHost));
  QElapsedTimer Timer;
  Timer.start();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(QStringLiteral("tcp(port=\"%1\")").arg(Server.serverPort()));
    for (int I = 0; I < 3; ++I)
      Engine.Dispatch(record(QStringLiteral("last words %1").arg(I)));
  }
  QVERIFY2(Timer.elapsed() < 3000, qPrintable(QString::number(Timer.elapsed())));
  // The connection waits in the listen backlog, its records in the socket.
  QVERIFY(Server.waitForNewConnection(10000));
  const QList<QByteArray> Lines = readLines(Server.nextPendingConnection(), 3);
  QCOMPARE(Lines.size(), 3);
  for (int I = 0; I < 3; ++I)
    QVERIFY2(Lines[I].contains(QStringLiteral("\"last words %1\"").arg(I).toUtf8()),
             Lines[I].constData());
}

void tst_LogEngine::streamDrainsConnectedTargetOnExit_data() {
  QTest::addColumn<bool>("pipe");
  QTest::newRow("tcp") << false;
  QTest::newRow("pipe") << true;
}

void tst_LogEngine::streamDrainsConnectedTargetOnExit() {
  QFETCH(bool, pipe);
  QTemporaryDir Runtime;
  const QByteArray Folder = QFile::encodeName(Runtime.path());
  TRuntimeDirGuard Guard(&Folder);
  QTcpServer TcpViewer;
  QLocalServer PipeViewer;
  QVERIFY(pipe ? PipeViewer.listen(PipeSocketPath(QStringLiteral("kelvane")))
               : TcpViewer.listen(QHostAddress::LocalHost));
  auto Connection = CreateConnection(patientStream(pipe, TcpViewer.serverPort()));
  Connection->WriteLine("first");
  QVERIFY(pipe ? PipeViewer.waitForNewConnection(10000) : TcpViewer.waitForNewConnection(10000));
  QIODevice* Peer = pipe ? static_cast<QIODevice*>(PipeViewer.nextPendingConnection())
                         : TcpViewer.nextPendingConnection();
  // Once a record has arrived the target is connected.
  QByteArray Data;
  QElapsedTimer Timer;
  Timer.start();
  while (!Data.contains('\n') && Timer.elapsed() < 10000) {
    Peer->waitForReadyRead(100);
    Data += Peer->readAll();
  }
  QCOMPARE(Data, QByteArray("first\n"));

  for (int I = 0; I < 100; ++I)
    Connection->WriteLine("last words " + QByteArray::number(I));
  Timer.restart();
  Connection.reset();
  // Gone as soon as all was delivered, well within its grace.
  QVERIFY2(Timer.elapsed() < 30000, qPrintable(QString::number(Timer.elapsed())));
  Timer.restart();
  while (Data.count('\n') < 101 && Timer.elapsed() < 10000) {
    Peer->waitForReadyRead(100);
    Data += Peer->readAll();
  }
  const QList<QByteArray> Lines = Data.trimmed().split('\n');
  QCOMPARE(Lines.size(), 101);
  QCOMPARE(Lines.back(), QByteArray("last words 99"));
}

void tst_LogEngine::streamDropsUnconnectedTargetOnExit_data() {
  QTest::addColumn<bool>("pipe");
  QTest::addColumn<bool>("silent"); // the viewer listens but never answers; else nobody listens
  QTest::newRow("tcp, the viewer never answers") << false << true;
  QTest::newRow("tcp, refused") << false << false;
  QTest::newRow("pipe, the viewer never answers") << true << true;
  QTest::newRow("pipe, nobody listens") << true << false;
}

void tst_LogEngine::streamDropsUnconnectedTargetOnExit() {
  QFETCH(bool, pipe);
  QFETCH(bool, silent);
  QTemporaryDir Runtime;
  const QByteArray Folder = QFile::encodeName(Runtime.path());
  TRuntimeDirGuard Guard(&Folder);
  quint16 ClosedPort = 0;
  {
    QTcpServer Closed;
    QVERIFY(Closed.listen(QHostAddress::LocalHost));
    ClosedPort = Closed.serverPort();
  }
  std::optional<TSilentViewer> Viewer;
  if (silent) {
    Viewer.emplace(pipe ? PipeSocketPath(QStringLiteral("kelvane")) : QString());
    QVERIFY(Viewer->IsReady());
  }
  auto Connection = CreateConnection(patientStream(pipe, silent ? Viewer->Port() : ClosedPort));
  for (int I = 0; I < 3; ++I)
    Connection->WriteLine("never delivered");
  QElapsedTimer Timer;
  Timer.start();
  Connection.reset();
  // Waiting for its grace or its connect time would take a minute.
  QVERIFY2(Timer.elapsed() < 30000, qPrintable(QString::number(Timer.elapsed())));
  if (Viewer)
    QCOMPARE(Viewer->Answered(), 0);
}

void tst_LogEngine::tcpUnreachableNeitherBlocksNorRaises_data() {
  QTest::addColumn<QString>("connection");
  quint16 Port = 0;
  {
    QTcpServer Closed;
    QVERIFY(Closed.listen(QHostAddress::LocalHost));
    Port = Closed.serverPort();
  }
  QTest::newRow("closed port")
      << QStringLiteral("tcp(host=\"127.0.0.1\", port=\"%1\", reconnect=\"true\")").arg(Port);
  QTest::newRow("closed port, no reconnect")
      << QStringLiteral("tcp(host=\"127.0.0.1\", port=\"%1\")").arg(Port);
  QTest::newRow("port above 65535") << QStringLiteral("tcp(host=\"127.0.0.1\", port=\"70000\")");
  QTest::newRow("port 0") << QStringLiteral("tcp(port=\"0\")");
  QTest::newRow("pipe nobody listens on")
      << QStringLiteral("pipe(pipename=\"nobody-listens\", reconnect=\"true\")");
}

void tst_LogEngine::tcpUnreachableNeitherBlocksNorRaises() {
  QFETCH(QString, connection);
  QElapsedTimer Timer;
  Timer.start();
  {
    TLogEngine Engine(QStringLiteral("kelvane"));
    Engine.SetConnections(connection);
    for (int I = 0; I < 100; ++I)
      Engine.Dispatch(record(QStringLiteral("dropped")));
    QTest::qWait(50);
  }
  // Generous; a blocking connect or a stuck worker would take seconds.
  QVERIFY2(Timer.elapsed() < 3000, qPrintable(QString::number(Timer.elapsed())));
}

void tst_LogEngine::tcpReconnectsWhenViewerAppears() {
  quint16 Port = 0;
  {
    QTcpServer Probe;
    QVERIFY(Probe.listen(QHostAddress::LocalHost));
    Port = Probe.serverPort();
  }
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(
      QStringLiteral("tcp(host=\"127.0.0.1\", port=\"%1\", reconnect=\"true\")").arg(Port));
  Engine.Dispatch(record(QStringLiteral("lost while unreachable")));
  QTest::qWait(100);
  QTcpServer Server;
  QVERIFY(Server.listen(QHostAddress::LocalHost, Port));
  QTcpSocket* Peer = nullptr;
  QElapsedTimer Timer;
  Timer.start();
  while (!Peer && Timer.elapsed() < 15000) {
    if (Server.waitForNewConnection(200))
      Peer = Server.nextPendingConnection();
  }
  QVERIFY(Peer);
  QByteArray Data;
  Timer.restart();
  while (!Data.contains("after reconnect") && Timer.elapsed() < 10000) {
    Engine.Dispatch(record(QStringLiteral("after reconnect")));
    Peer->waitForReadyRead(100);
    Data += Peer->readAll();
  }
  QVERIFY(Data.contains("after reconnect"));
  QVERIFY(!Data.contains("lost while unreachable"));
}

void tst_LogEngine::tcpViewerClosing_data() {
  QTest::addColumn<bool>("reconnect");
  QTest::newRow("reconnect") << true;
  QTest::newRow("no reconnect") << false;
}

void tst_LogEngine::tcpViewerClosing() {
  QFETCH(bool, reconnect);
  QTcpServer Server;
  QVERIFY(Server.listen(QHostAddress::LocalHost));
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("tcp(port=\"%1\", reconnect=\"%2\")")
                            .arg(Server.serverPort())
                            .arg(reconnect ? u"true" : u"false"));
  Engine.Dispatch(record(QStringLiteral("first")));
  QVERIFY(Server.waitForNewConnection(10000));
  QTcpSocket* First = Server.nextPendingConnection();
  QVERIFY(readLines(First, 1).first().contains("\"first\""));
  First->abort();
  QTcpSocket* Second = nullptr;
  QElapsedTimer Timer;
  Timer.start();
  // Without reconnecting the engine stays away; a second and a half covers
  // the first retry of one that does.
  while (!Second && Timer.elapsed() < (reconnect ? 10000 : 1500)) {
    Engine.Dispatch(record(QStringLiteral("second")));
    if (Server.waitForNewConnection(100))
      Second = Server.nextPendingConnection();
  }
  QCOMPARE(Second != nullptr, reconnect);
  if (!Second)
    return;
  QByteArray Data;
  Timer.restart();
  while (!Data.contains("\"second\"") && Timer.elapsed() < 10000) {
    Engine.Dispatch(record(QStringLiteral("second")));
    Second->waitForReadyRead(100);
    Data += Second->readAll();
  }
  QVERIFY(Data.contains("\"second\""));
}

void tst_LogEngine::pipeSocketPath_data() {
  QTest::addColumn<bool>("set");
  QTest::addColumn<QByteArray>("runtime");
  QTest::addColumn<QString>("path");
  const QString Private = QStringLiteral("/tmp/kelvane-%1/viewer.sock").arg(::geteuid());
  QTest::newRow("runtime folder") << true << QByteArray("/run/user/1000")
                                  << QStringLiteral("/run/user/1000/viewer.sock");
  QTest::newRow("empty") << true << QByteArray() << Private;
  QTest::newRow("unset") << false << QByteArray() << Private;
}

void tst_LogEngine::pipeSocketPath() {
  QFETCH(bool, set);
  QFETCH(QByteArray, runtime);
  QFETCH(QString, path);
  TRuntimeDirGuard Runtime(set ? &runtime : nullptr);
  QCOMPARE(PipeSocketPath(QStringLiteral("viewer")), path);
}

void tst_LogEngine::pipeDeliversOnlyToOwnFolder_data() {
  QTest::addColumn<bool>("shared"); // the runtime folder is writable by the group
  QTest::newRow("own folder") << false;
  QTest::newRow("folder writable by the group") << true;
}

void tst_LogEngine::pipeDeliversOnlyToOwnFolder() {
  QFETCH(bool, shared);
  QTemporaryDir Runtime;
  QVERIFY(Runtime.isValid());
  if (shared)
    QVERIFY(QFile::setPermissions(Runtime.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadGroup |
                                                      QFile::WriteGroup | QFile::ExeGroup));
  const QByteArray Folder = QFile::encodeName(Runtime.path());
  TRuntimeDirGuard Guard(&Folder);
  QLocalServer Server;
  QVERIFY(Server.listen(Runtime.filePath(QStringLiteral("kelvane.sock"))));
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetConnections(QStringLiteral("pipe(reconnect=\"true\")"));
  Engine.Dispatch(record(QStringLiteral("through the pipe")));
  if (shared) {
    QVERIFY(!Server.waitForNewConnection(700));
    return;
  }
  QVERIFY(Server.waitForNewConnection(10000));
  const QList<QByteArray> Lines = readLines(Server.nextPendingConnection(), 1);
  QVERIFY2(Lines.first().contains("\"through the pipe\""), Lines.first().constData());
}

KELVANE_TEST_MAIN(tst_LogEngine)
#include "tst_LogEngine.moc"
