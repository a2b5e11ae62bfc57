// What the logger's operations write: each row calls operations on the
// program's logger and lists the records that reach a memory target.

#include "support/TestMain.h"

#include "common/Exceptions.h"
#include "logging/LogEngine.h"
#include "logging/LogSession.h"
#include "logging/MorvelDebug.h"
#include "platform/fake/FakePlatform.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <functional>

using TCalls = std::function<void(ITraceLogger*)>;
Q_DECLARE_METATYPE(TCalls)

class tst_MorvelLogger : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void records_data();
  void records();
  void customContextMustBeViewerContext();
};

namespace {
// "kind|level|title|data" of every record the memory target holds.
QStringList heldRecords() {
  QStringList Result;
  const QByteArray Contents = MorvelLogEngine()->MemoryContents();
  for (const QByteArray& Line : Contents.split('\n')) {
    if (Line.isEmpty())
      continue;
    const QJsonObject R = QJsonDocument::fromJson(Line).object();
    Result << QStringList{R.value(QStringLiteral("kind")).toString(),
                          R.value(QStringLiteral("level")).toString(),
                          R.value(QStringLiteral("title")).toString(),
                          R.value(QStringLiteral("data")).toString()}
                  .join(u'|');
  }
  return Result;
}

QString rec(TLogEntryKind AKind, TLogLevel ALevel, const QString& ATitle,
            const QString& AData = {}) {
  return QStringList{LogEntryKindName(AKind), LogLevelName(ALevel), ATitle, AData}.join(u'|');
}
} // namespace

void tst_MorvelLogger::init() {
  FakePlatform Platform;
  ScopedPlatform Scope(Platform);
  InitializeMorvelDebug(QStringLiteral("kelvane"));
  MorvelLogEngine()->SetConnections(QStringLiteral("mem(maxsize=\"64\")"));
}

void tst_MorvelLogger::cleanup() {
  InitializeMorvelDebug(QStringLiteral("kelvane"));
}

void tst_MorvelLogger::records_data() {
  QTest::addColumn<int>("engineLevel");
  QTest::addColumn<TCalls>("calls");
  QTest::addColumn<QStringList>("expected");
  using K = TLogEntryKind;
  using L = TLogLevel;
  const int Debug = int(L::Debug);

  QTest::newRow("message") << Debug << TCalls([](ITraceLogger* Log) {
    Log->LogMessage(QStringLiteral("hi"));
  }) << QStringList{rec(K::Message, L::Message, QStringLiteral("hi"))};
  QTest::newRow("formatted error")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->LogError(QStringLiteral("Error on getting network adapters (%d): %s"),
                         {87, QStringLiteral("The parameter is incorrect.")});
         })
      << QStringList{
             rec(K::Error, L::Error,
                 QStringLiteral(
                     "Error on getting network adapters (87): The parameter is incorrect."))};
  QTest::newRow("bad format still logs")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->LogWarning(QStringLiteral("%d items"), {QStringLiteral("x")});
         })
      << QStringList{rec(
             K::Warning, L::Warning,
             QStringLiteral("%d items [Format '%d items' invalid or incompatible with argument]"))};
  QTest::newRow("value at the default level") << Debug << TCalls([](ITraceLogger* Log) {
    Log->LogString(QStringLiteral("Name"), QStringLiteral("eth0"));
  }) << QStringList{rec(K::Value, L::Verbose, QStringLiteral("Name = eth0"))};
  QTest::newRow("value below the engine level is dropped")
      << int(L::Message)
      << TCalls([](ITraceLogger* Log) { Log->LogInteger(QStringLiteral("Count"), 3); })
      << QStringList();
  QTest::newRow("value with a level") << int(L::Message) << TCalls([](ITraceLogger* Log) {
    Log->LogBoolean(lvWarning, QStringLiteral("Up"), true);
  }) << QStringList{rec(K::Value, L::Warning, QStringLiteral("Up = True"))};
  QTest::newRow("enumeration by name") << Debug << TCalls([](ITraceLogger* Log) {
    Log->LogEnum(QStringLiteral("Level"), lvWarning);
  }) << QStringList{rec(K::Value, L::Verbose, QStringLiteral("Level = lvWarning"))};
  QTest::newRow("win32 error with its text")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->LogWin32Error(lvError, QStringLiteral("Open"), 5, 0);
         })
      << QStringList{rec(K::Error, L::Error, QStringLiteral("Open"),
                         QStringLiteral("5: Access is denied."))};
  QTest::newRow("current exception with empty title")
      << Debug << TCalls([](ITraceLogger* Log) {
           try {
             throw ERegistryException(QStringLiteral("Invalid data type for 'X'"));
           } catch (...) {
             Log->LogException(lvError, QString());
           }
         })
      << QStringList{rec(K::Exception, L::Error, QStringLiteral("Invalid data type for 'X'"),
                         QStringLiteral("ERegistryException: Invalid data type for 'X'"))};
  QTest::newRow("method entry and exit with instance")
      << Debug << TCalls([](ITraceLogger* Log) {
           const tst_MorvelLogger* Self = nullptr;
           Log->EnterMethod(lvDebug, TLogInstance(static_cast<const QObject*>(Self)),
                            QStringLiteral("Init"));
           const QObject Object;
           Log->EnterMethod(lvDebug, &Object, QStringLiteral("Init"));
           Log->LeaveMethod(lvDebug, &Object, QStringLiteral("Init"));
         })
      << QStringList{rec(K::EnterMethod, L::Debug, QStringLiteral("Init")),
                     rec(K::EnterMethod, L::Debug, QStringLiteral("QObject.Init")),
                     rec(K::LeaveMethod, L::Debug, QStringLiteral("QObject.Init"))};
  QTest::newRow("tracked method leaves on release")
      << Debug << TCalls([](ITraceLogger* Log) {
           TMethodTracker Tracker = Log->TrackMethod(QStringLiteral("Scan"));
           Log->LogMessage(QStringLiteral("inside"));
         })
      << QStringList{rec(K::EnterMethod, L::Verbose, QStringLiteral("Scan")),
                     rec(K::Message, L::Message, QStringLiteral("inside")),
                     rec(K::LeaveMethod, L::Verbose, QStringLiteral("Scan"))};
  QTest::newRow("assert and conditional")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->LogAssert(true, QStringLiteral("holds"));
           Log->LogAssert(false, QStringLiteral("broken"));
           Log->LogConditional(false, QStringLiteral("skipped"));
           Log->LogConditional(true, QStringLiteral("shown"));
         })
      << QStringList{rec(K::Assert, L::Verbose, QStringLiteral("broken")),
                     rec(K::Message, L::Verbose, QStringLiteral("shown"))};
  QTest::newRow("checkpoints count per name")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->AddCheckpoint();
           Log->AddCheckpoint();
           Log->ResetCheckpoint();
           Log->AddCheckpoint();
         })
      << QStringList{rec(K::Checkpoint, L::Verbose, QStringLiteral("Checkpoint #1")),
                     rec(K::Checkpoint, L::Verbose, QStringLiteral("Checkpoint #2")),
                     rec(K::Checkpoint, L::Verbose, QStringLiteral("Checkpoint #1"))};
  QTest::newRow("inactive logger writes nothing") << Debug << TCalls([](ITraceLogger* Log) {
    Log->SetEnabled(false);
    Log->LogFatal(QStringLiteral("hidden"));
    Log->SetActive(true);
  }) << QStringList();
  // The trace-style names and the calls they stand for.
  QTest::newRow("trace messages") << Debug << TCalls([](ITraceLogger* Log) {
    Log->Send(QStringLiteral("a"));
    Log->Send(7, QStringLiteral("b"));
    Log->SendMsgEx(1, QStringLiteral("c"));
    Log->SendNote(QStringLiteral("n=%d"), {4});
    Log->SendFmtError(QStringLiteral("e=%s"), {QStringLiteral("x")});
    Log->SendWarning(QStringLiteral("w"));
  })
                                  << QStringList{rec(K::Message, L::Message, QStringLiteral("a")),
                                                 rec(K::Message, L::Message, QStringLiteral("b")),
                                                 rec(K::Message, L::Message, QStringLiteral("c")),
                                                 rec(K::Message, L::Message, QStringLiteral("n=4")),
                                                 rec(K::Error, L::Error, QStringLiteral("e=x")),
                                                 rec(K::Warning, L::Warning, QStringLiteral("w"))};
  QTest::newRow("trace values") << Debug << TCalls([](ITraceLogger* Log) {
    Log->Send(QStringLiteral("b"), false);
    Log->SendInteger(QStringLiteral("i"), -3);
    Log->SendDWord(QStringLiteral("d"), 4000000000u);
    Log->SendString(QStringLiteral("s"), QStringLiteral("t"));
    Log->SendChar(QStringLiteral("c"), QChar(u'x'));
    Log->SendEnum(QStringLiteral("e"), QMetaEnum::fromType<TMorvelLevel>(), lvError);
    Log->SendVariant(QStringLiteral("v"), QVariant(2.5));
  })
                                << QStringList{
                                       rec(K::Value, L::Verbose, QStringLiteral("b = False")),
                                       rec(K::Value, L::Verbose, QStringLiteral("i = -3")),
                                       rec(K::Value, L::Verbose, QStringLiteral("d = 4000000000")),
                                       rec(K::Value, L::Verbose, QStringLiteral("s = t")),
                                       rec(K::Value, L::Verbose, QStringLiteral("c = x")),
                                       rec(K::Value, L::Verbose, QStringLiteral("e = lvError")),
                                       rec(K::Value, L::Verbose, QStringLiteral("v = 2.5"))};
  QTest::newRow("trace errors and methods")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->SendWinError(QStringLiteral("Load"), 126);
           try {
             throw EOSError(QStringLiteral("gone"), 2);
           } catch (...) {
             Log->SendException();
           }
           Log->EnterMethod(QStringLiteral("TScanner"), QStringLiteral("Scan"),
                            QStringLiteral("a, b"));
           Log->ExitMethod(QStringLiteral("TScanner.Scan"));
         })
      << QStringList{rec(K::Error, L::Verbose, QStringLiteral("Load"),
                         QStringLiteral("126: The specified module could not be found.")),
                     rec(K::Exception, L::Verbose, QStringLiteral("gone"),
                         QStringLiteral("EOSError: gone")),
                     rec(K::EnterMethod, L::Verbose, QStringLiteral("TScanner.Scan(a, b)")),
                     rec(K::LeaveMethod, L::Verbose, QStringLiteral("TScanner.Scan"))};
  QTest::newRow("trace watches and streams")
      << Debug << TCalls([](ITraceLogger* Log) {
           Log->WriteInteger(QStringLiteral("n"), 5);
           Log->WriteFmtMsg(QStringLiteral("m"), QStringLiteral("%s!"), {QStringLiteral("go")});
           QByteArray Bytes("AB\x01", 3);
           QBuffer Buffer(&Bytes);
           Buffer.open(QIODevice::ReadOnly);
           Log->SendStreamAsHex(QStringLiteral("raw"), &Buffer, 1, false);
         })
      << QStringList{rec(K::Watch, L::Verbose, QStringLiteral("n"), QStringLiteral("5")),
                     rec(K::Watch, L::Verbose, QStringLiteral("m"), QStringLiteral("go!")),
                     rec(K::Binary, L::Verbose, QStringLiteral("raw"),
                         QStringLiteral("00000000  41 42 01 ") + QString(39, u' ') +
                             QStringLiteral("AB.\n"))};
}

void tst_MorvelLogger::records() {
  QFETCH(int, engineLevel);
  QFETCH(TCalls, calls);
  QFETCH(QStringList, expected);
  MorvelLogEngine()->SetLevel(TLogLevel(engineLevel));
  calls(GetTraceLogger());
  QCOMPARE(heldRecords(), expected);
}

void tst_MorvelLogger::customContextMustBeViewerContext() {
  QObject NotAContext;
  try {
    GetLogger()->LogCustomContext(QStringLiteral("t"), leText, &NotAContext);
    QFAIL("no error raised");
  } catch (const EAssertionFailed& E) {
    QVERIFY2(E.Message().startsWith(QStringLiteral("AContext has to be TLogViewerContext (")),
             qPrintable(E.Message()));
  }
  TLogViewerContext Context(viList);
  Context.AppendLine(QStringLiteral("row"));
  GetLogger()->LogCustomContext(lvMessage, QStringLiteral("t"), leText, &Context);
  QCOMPARE(heldRecords(), QStringList{rec(TLogEntryKind::Text, TLogLevel::Message,
                                          QStringLiteral("t"), QStringLiteral("row\n"))});
}

KELVANE_TEST_MAIN(tst_MorvelLogger)
#include "tst_MorvelLogger.moc"
