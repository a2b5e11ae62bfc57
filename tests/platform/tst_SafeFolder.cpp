// Folders reached without being led astray: which folder a path opens, or
// why it is refused, on trees with links, pipes and other users' entries.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/SafeFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& APath) {
  struct stat Status {};
  return ::lstat(QFile::encodeName(APath).constData(), &Status) == 0 ? Status.st_mode & 07777 : 0;
}

} // namespace

class tst_SafeFolder : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void open_data();
  void open();
  void madeFoldersArePrivateWhateverTheUmask();
};

void tst_SafeFolder::open_data() {
  QTest::addColumn<QByteArray>("tree"); // "%DIR%" stands for the scratch folder
  QTest::addColumn<QString>("path");    // relative paths start at the scratch folder
  QTest::addColumn<bool>("create");
  QTest::addColumn<QString>("opened"); // below the scratch folder; empty: refused
  QTest::addColumn<QString>("error");
  const auto S = [](const char* AText) { return QString::fromUtf8(AText); };

  const QByteArray Logs = "logs/\nlogs <mode 700>\n";
  const QByteArray Target = "target/\ntarget <mode 700>\n";
  QTest::newRow("absolute") << Logs << S("%DIR%/logs") << false << S("logs") << QString();
  QTest::newRow("relative, from the working folder")
      << Logs << S("logs") << false << S("logs") << QString();
  QTest::newRow("empty: the working folder")
      << QByteArray() << S("") << false << S(".") << QString();
  QTest::newRow("dots and repeated slashes")
      << Logs << S("%DIR%//./logs/.//") << false << S("logs") << QString();
  QTest::newRow("dot-dot") << Logs + "other/\n"
                           << S("%DIR%/other/../logs") << false << S("logs") << QString();
  QTest::newRow("dot-dot above the root stays there")
      << QByteArray() << S("/../../%DIR%") << false << S(".") << QString();
  QTest::newRow("missing folders, made")
      << QByteArray() << S("%DIR%/a/b/c") << true << S("a/b/c") << QString();
  QTest::newRow("missing folder, not made")
      << QByteArray() << S("%DIR%/a/b") << false << QString() << S("%DIR%/a does not exist");
  QTest::newRow("a file on the way") << QByteArray("plain = x\n") << S("%DIR%/plain/sub") << true
                                     << QString() << S("%DIR%/plain is not a folder");
  QTest::newRow("a named pipe on the way") << QByteArray("fifo <fifo>\n") << S("%DIR%/fifo/sub")
                                           << true << QString() << S("%DIR%/fifo is not a folder");
  QTest::newRow("a named pipe as the folder")
      << QByteArray("fifo <fifo>\n") << S("%DIR%/fifo") << true << QString()
      << S("%DIR%/fifo is not a folder");
  QTest::newRow("link of ours in a folder of ours")
      << Target + "safe/\nsafe/l -> ../target\n"
      << S("%DIR%/safe/l/.") << false << S("target") << QString();
  QTest::newRow("link with an absolute target")
      << Target + "safe/\nsafe/l -> %DIR%/target\n"
      << S("%DIR%/safe/l") << false << S("target") << QString();
  QTest::newRow("links in a chain, folder made behind them")
      << Target + "safe/\nsafe/a -> b\nsafe/b -> ../target\n"
      << S("%DIR%/safe/a/new") << true << S("target/new") << QString();
  QTest::newRow("dot-dot after a link leaves the link's target")
      << Target + "target/inner/\nsafe/\nsafe/l -> ../target/inner\n"
      << S("%DIR%/safe/l/..") << false << S("target") << QString();
  QTest::newRow("link in a world-writable sticky folder")
      << Target + "shared/\nshared <mode 1777>\nshared/l -> ../target\n"
      << S("%DIR%/shared/l/.") << false << QString()
      << S("%DIR%/shared/l is a link in a folder others may write to");
  QTest::newRow("link in a group-writable folder, then a new folder")
      << Target + "group/\ngroup <mode 770>\ngroup/l -> ../target\n"
      << S("%DIR%/group/l/new") << true << QString()
      << S("%DIR%/group/l is a link in a folder others may write to");
  QTest::newRow("link planted by another user in a world-writable sticky folder")
      << Target + "shared/\nshared <mode 1777>\nshared/l -> ../target\nshared/l <owner nobody>\n"
      << S("%DIR%/shared/l/.") << false << QString()
      << S("%DIR%/shared/l is a link that belongs to another user");
  QTest::newRow("link of another user in a folder of ours")
      << Target + "safe/\nsafe/l -> ../target\nsafe/l <owner nobody>\n"
      << S("%DIR%/safe/l") << false << QString()
      << S("%DIR%/safe/l is a link that belongs to another user");
  QTest::newRow("passing through another user's folder")
      << QByteArray("other/logs/\nother/logs <mode 700>\nother <owner nobody>\n")
      << S("%DIR%/other/logs") << true << QString() << S("%DIR%/other belongs to another user");
  QTest::newRow("another user's folder")
      << QByteArray("other/\nother <mode 700>\nother <owner nobody>\n") << S("%DIR%/other") << false
      << QString() << S("%DIR%/other belongs to another user");
  QTest::newRow("folder the group may write to")
      << QByteArray("group/\ngroup <mode 770>\n") << S("%DIR%/group") << false << QString()
      << S("others may write to %DIR%/group");
  QTest::newRow("link loop") << QByteArray("safe/\nsafe/a -> b\nsafe/b -> a\n") << S("%DIR%/safe/a")
                             << false << QString() << S("more than 40 links on the way");
  QTest::newRow("NUL in the path")
      << Logs << QStringLiteral("%DIR%/logs") + QChar(0) + QStringLiteral("/x") << true << QString()
      << S("the path holds a NUL character");
}

void tst_SafeFolder::open() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, path);
  QFETCH(bool, create);
  QFETCH(QString, opened);
  QFETCH(QString, error);
  if (!MayLayOutTree(tree))
    QSKIP("needs root to give entries to another user");
  TScratchDir Dir;
  QVERIFY(Dir.IsValid());
  const QString Scratch = Dir.Path();
  tree.replace("%DIR%", QFile::encodeName(Scratch));
  QCOMPARE(LayOutTree(Scratch, tree), QString());
  path.replace(QStringLiteral("%DIR%"), Scratch);
  error.replace(QStringLiteral("%DIR%"), Scratch);
  TWorkingFolder Working(Scratch);

  const TSafeFolder Folder = TSafeFolder::Open(path, create);
  QCOMPARE(Folder.Error(), error);
  QCOMPARE(Folder.IsOpen(), !opened.isEmpty());
  if (opened.isEmpty())
    return;
  // The folder is known by what lands in it.
  QVERIFY(Folder.OpenAppend(QStringLiteral("probe"), false).IsOpen());
  QVERIFY2(QFile::exists(Scratch + u'/' + opened + QStringLiteral("/probe")), qPrintable(opened));
}

void tst_SafeFolder::madeFoldersArePrivateWhateverTheUmask() {
  TScratchDir Dir;
  QVERIFY(Dir.IsValid());
  const QString Scratch = Dir.Path();
  const mode_t Saved = ::umask(0);
  const TSafeFolder Folder = TSafeFolder::Open(Scratch + QStringLiteral("/a/b"), true);
  ::umask(Saved);
  QVERIFY2(Folder.IsOpen(), qPrintable(Folder.Error()));
  QCOMPARE(modeOf(Scratch + QStringLiteral("/a")), mode_t(0700));
  QCOMPARE(modeOf(Scratch + QStringLiteral("/a/b")), mode_t(0700));
  TAppendFile File = Folder.OpenAppend(QStringLiteral("k.sil"), false);
  QVERIFY(File.IsOpen());
  QCOMPARE(modeOf(Scratch + QStringLiteral("/a/b/k.sil")), mode_t(0600));
}

KELVANE_TEST_MAIN(tst_SafeFolder)
#include "tst_SafeFolder.moc"
