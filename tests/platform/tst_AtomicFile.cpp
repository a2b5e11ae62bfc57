// Replacing a file as a whole: the new bytes or the old ones, never a mix,
// and nothing left beside the file when the write fails.

#include "support/TestMain.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray contents(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("(unreadable)");
}

// A file-size limit makes write(2) fail part-way, as a full disk would.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t ABytes) {
    ::getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Limit = FOld;
    Limit.rlim_cur = ABytes;
    ::setrlimit(RLIMIT_FSIZE, &Limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldHandler);
  }

private:
  rlimit FOld{};
  void (*FOldHandler)(int) = nullptr;
};
} // namespace

class tst_AtomicFile : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void replaces_data();
  void replaces();
};

void tst_AtomicFile::replaces_data() {
  QTest::addColumn<QString>("before"); // none, file, link
  QTest::addColumn<int>("sizeLimit");  // bytes a write may reach; 0: none
  QTest::addColumn<QString>("error");  // empty: written
  QTest::addColumn<QByteArray>("after");
  const QByteArray New(5000, 'n');
  QTest::newRow("new file") << QStringLiteral("none") << 0 << QString() << New;
  QTest::newRow("replaces a file") << QStringLiteral("file") << 0 << QString() << New;
  QTest::newRow("replaces a planted link, not its target")
      << QStringLiteral("link") << 0 << QString() << New;
  QTest::newRow("a write failing part-way keeps the old file")
      << QStringLiteral("file") << 1000 << QStringLiteral("File too large") << QByteArray("old");
  QTest::newRow("a folder that is not there")
      << QStringLiteral("no folder") << 0 << QStringLiteral("No such file or directory")
      << QByteArray("(unreadable)");
}

void tst_AtomicFile::replaces() {
  QFETCH(QString, before);
  QFETCH(int, sizeLimit);
  QFETCH(QString, error);
  QFETCH(QByteArray, after);
  QTemporaryDir Dir;
  const QString Victim = Dir.filePath(QStringLiteral("victim"));
  QFile VictimFile(Victim);
  QVERIFY(VictimFile.open(QIODevice::WriteOnly) && VictimFile.write("precious") == 8);
  VictimFile.close();
  const QString Path = before == u"no folder" ? Dir.filePath(QStringLiteral("gone/w.xml"))
                                              : Dir.filePath(QStringLiteral("w.xml"));
  if (before == u"file") {
    QFile Old(Path);
    QVERIFY(Old.open(QIODevice::WriteOnly) && Old.write("old") == 3);
  } else if (before == u"link") {
    QVERIFY(QFile::link(Victim, Path));
  }
  std::optional<QString> Failure;
  {
    std::optional<TFileSizeLimit> Limit;
    if (sizeLimit > 0)
      Limit.emplace(rlim_t(sizeLimit));
    Failure = WriteFileAtomically(Path, QByteArray(5000, 'n'));
  }
  QCOMPARE(Failure.value_or(QString()), error);
  QCOMPARE(contents(Path), after);
  QCOMPARE(contents(Victim), QByteArray("precious"));
  // Nothing is left beside the file: no temporary one.
  QStringList Left = QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  Left.sort();
  QStringList Expected{QStringLiteral("victim")};
  if (before != u"no folder" && (error.isEmpty() || before == u"file"))
    Expected << QStringLiteral("w.xml");
  QCOMPARE(Left, Expected);
}

KELVANE_TEST_MAIN(tst_AtomicFile)
#include "tst_AtomicFile.moc"
