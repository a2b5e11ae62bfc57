// The one reader of the files the program takes in: whatever the name turns
// out to be, the call returns at once with the bytes or the reason.

#include "support/TestMain.h"

#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_Files : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void reads_data();
  void reads();
  void fifoWithWriter();
  void systemAttributes();
  void lockTakesTurns();
  void lockRefusesPlantedNames_data();
  void lockRefusesPlantedNames();
};

namespace {
void writeFile(const QString& APath, const QByteArray& AData) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly));
  QCOMPARE(File.write(AData), AData.size());
}
} // namespace

void tst_Files::reads_data() {
  QTest::addColumn<QString>("kind"); // what stands under the name
  QTest::addColumn<int>("flags");
  QTest::addColumn<int>("status");
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QString>("reason");
  const QByteArray Ten("0123456789");
  QTest::newRow("a file under the cap")
      << "ten" << int(frDefault) << int(TFileContent::fcRead) << Ten << QString();
  QTest::newRow("a file of exactly the cap")
      << "cap" << int(frDefault) << int(TFileContent::fcRead) << QByteArray(64, 'c') << QString();
  QTest::newRow("an empty file") << "empty" << int(frDefault) << int(TFileContent::fcRead)
                                 << QByteArray() << QString();
  QTest::newRow("one byte over the cap: refused")
      << "over" << int(frDefault) << int(TFileContent::fcTooLarge) << QByteArray()
      << "larger than 64 bytes";
  QTest::newRow("over the cap, truncating")
      << "over" << int(frTruncate) << int(TFileContent::fcRead) << QByteArray(64, 'o') << QString();
  QTest::newRow("a file of many chunks")
      << "large" << int(frDefault) << int(TFileContent::fcTooLarge) << QByteArray()
      << "larger than 64 bytes";
  QTest::newRow("missing") << "missing" << int(frDefault) << int(TFileContent::fcMissing)
                           << QByteArray() << "No such file or directory";
  QTest::newRow("a FIFO without writer: no wait")
      << "fifo" << int(frDefault) << int(TFileContent::fcNotRegular) << QByteArray()
      << "not a regular file";
  QTest::newRow("a folder") << "folder" << int(frDefault) << int(TFileContent::fcNotRegular)
                            << QByteArray() << "not a regular file";
  QTest::newRow("a character device")
      << "device" << int(frDefault) << int(TFileContent::fcNotRegular) << QByteArray()
      << "not a regular file";
  QTest::newRow("a link to a file, followed")
      << "link" << int(frDefault) << int(TFileContent::fcRead) << Ten << QString();
  QTest::newRow("a link to a file, not followed")
      << "link" << int(frNoFollow) << int(TFileContent::fcNotRegular) << QByteArray()
      << "a link, not followed";
  QTest::newRow("a link to a FIFO")
      << "link to fifo" << int(frDefault) << int(TFileContent::fcNotRegular) << QByteArray()
      << "not a regular file";
  QTest::newRow("an empty name") << "" << int(frDefault) << int(TFileContent::fcMissing)
                                 << QByteArray() << "No such file or directory";
}

void tst_Files::reads() {
  QFETCH(QString, kind);
  QFETCH(int, flags);
  QFETCH(int, status);
  QFETCH(QByteArray, data);
  QFETCH(QString, reason);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  writeFile(Dir.filePath("ten"), "0123456789");
  writeFile(Dir.filePath("cap"), QByteArray(64, 'c'));
  writeFile(Dir.filePath("empty"), QByteArray());
  writeFile(Dir.filePath("over"), QByteArray(65, 'o'));
  writeFile(Dir.filePath("large"), QByteArray(100000, 'l'));
  QCOMPARE(::mkfifo(QFile::encodeName(Dir.filePath("fifo")).constData(), 0600), 0);
  QVERIFY(QDir(Dir.path()).mkdir("folder"));
  QVERIFY(QFile::link(Dir.filePath("ten"), Dir.filePath("link")));
  QVERIFY(QFile::link(Dir.filePath("fifo"), Dir.filePath("link to fifo")));
  const QString Path = kind == "device" ? QStringLiteral("/dev/null")
                       : kind.isEmpty() ? QString()
                                        : Dir.filePath(kind);

  const TFileContent Content = ReadBoundedFile(Path, 64, flags);
  QCOMPARE(int(Content.Status), status);
  QCOMPARE(Content.Data, data);
  QCOMPARE(Content.Reason, reason);
}

// A writer holding the FIFO open is the case where a read would wait for
// data that never comes.
void tst_Files::fifoWithWriter() {
  QTemporaryDir Dir;
  const QByteArray Fifo = QFile::encodeName(Dir.filePath("fifo"));
  QCOMPARE(::mkfifo(Fifo.constData(), 0600), 0);
  const int Reader = ::open(Fifo.constData(), O_RDONLY | O_NONBLOCK);
  const int Writer = ::open(Fifo.constData(), O_WRONLY | O_NONBLOCK);
  QVERIFY(Reader >= 0 && Writer >= 0);
  const TFileContent Content = ReadBoundedFile(Fifo, 64);
  ::close(Writer);
  ::close(Reader);
  QCOMPARE(int(Content.Status), int(TFileContent::fcNotRegular));
}

// procfs reports a size of 0 and sysfs one of a page, whatever they hold.
void tst_Files::systemAttributes() {
  const TFileContent Status = ReadBoundedFile(QStringLiteral("/proc/self/status"), 1 << 20);
  QVERIFY(Status.Ok());
  QVERIFY(Status.Data.startsWith("Name:"));
  QVERIFY(Status.Data.contains("\nPid:"));
  const TFileContent Truncated =
      ReadBoundedFile(QStringLiteral("/proc/self/status"), 5, frTruncate);
  QCOMPARE(Truncated.Data, QByteArray("Name:"));
  const TFileContent Loopback =
      ReadBoundedFile(QStringLiteral("/sys/class/net/lo/type"), 64, frTruncate);
  QVERIFY2(Loopback.Ok(), qPrintable(Loopback.Reason));
  QCOMPARE(Loopback.Data, QByteArray("772\n"));
}

// Two holders in one process stand for two starts: the lock belongs to the
// opened file, not to the process.
void tst_Files::lockTakesTurns() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath("NetworkAdapters.xml.lock");
  {
    const TFileLock First(Path, 0);
    QVERIFY2(First.Locked(), qPrintable(First.Reason()));
    QVERIFY(First.Reason().isEmpty());
    const TFileLock Second(Path, 30);
    QVERIFY(!Second.Locked());
    QCOMPARE(Second.Reason(), QStringLiteral("held by another process for more than 30 ms"));
  }
  const TFileLock Third(Path, 0);
  QVERIFY2(Third.Locked(), qPrintable(Third.Reason()));
  QCOMPARE(QFileInfo(Path).size(), 0);
  struct stat Info {};
  QCOMPARE(::stat(QFile::encodeName(Path).constData(), &Info), 0);
  QCOMPARE(Info.st_mode & 07777, mode_t(0600));
}

void tst_Files::lockRefusesPlantedNames_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("reason");
  QTest::newRow("a link to a file elsewhere") << "link"
                                              << "a link, not followed";
  QTest::newRow("a dangling link") << "dangling"
                                   << "a link, not followed";
  QTest::newRow("a FIFO") << "fifo"
                          << "not a regular file";
  QTest::newRow("a folder") << "folder"
                            << "not a regular file";
  QTest::newRow("a missing folder") << "missing"
                                    << "No such file or directory";
}

void tst_Files::lockRefusesPlantedNames() {
  QFETCH(QString, kind);
  QFETCH(QString, reason);
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(kind == "missing" ? "missing/x.lock" : "x.lock");
  const QString Victim = Dir.filePath("victim");
  if (kind == "link") {
    writeFile(Victim, "keep");
    QVERIFY(QFile::link(Victim, Path));
  } else if (kind == "dangling") {
    QVERIFY(QFile::link(Victim, Path));
  } else if (kind == "fifo") {
    QCOMPARE(::mkfifo(QFile::encodeName(Path).constData(), 0600), 0);
  } else if (kind == "folder") {
    QVERIFY(QDir(Dir.path()).mkdir("x.lock"));
  }
  const TFileLock Lock(Path, 1000);
  QVERIFY(!Lock.Locked());
  QCOMPARE(Lock.Reason(), reason);
  QCOMPARE(QFileInfo::exists(Victim), kind == "link");
}

KELVANE_TEST_MAIN(tst_Files)
#include "tst_Files.moc"
