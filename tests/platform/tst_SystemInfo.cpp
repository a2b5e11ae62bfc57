// The system-information port: Windows expansion of environment references,
// and what the Linux backend reports for the version record, names and the
// environment a local logon would have.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/OsRelease.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Sets or unsets an environment variable for the lifetime of the object.
class TScopedVariable {
public:
  TScopedVariable(const char* AName, const QByteArray& AValue, bool ASet = true)
      : FName(AName), FOld(qgetenv(AName)), FHadOld(qEnvironmentVariableIsSet(AName)) {
    if (ASet)
      qputenv(AName, AValue);
    else
      qunsetenv(AName);
  }
  ~TScopedVariable() {
    if (FHadOld)
      qputenv(FName, FOld);
    else
      qunsetenv(FName);
  }

private:
  const char* FName;
  QByteArray FOld;
  bool FHadOld;
};

mode_t modeOf(const QString& APath) {
  struct stat Status {};
  return ::lstat(QFile::encodeName(APath).constData(), &Status) == 0 ? Status.st_mode : 0;
}
} // namespace

class tst_SystemInfo : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void expandEnvironmentStrings_data();
  void expandEnvironmentStrings();
  void prettyName_data();
  void prettyName();
  void linuxVersionRecord();
  void osReleaseThatIsNoFile_data();
  void osReleaseThatIsNoFile();
  void linuxNames();
  void linuxLogonVariables();
  void linuxTemporaryDirectory_data();
  void linuxTemporaryDirectory();
  void privateDirectoryTaken_data();
  void privateDirectoryTaken();
  void privateDirectoryWithoutBase();
};

void tst_SystemInfo::expandEnvironmentStrings_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("expanded");
  QTest::newRow("set variable") << QStringLiteral("%USERDOMAIN%") << QStringLiteral("CORP");
  QTest::newRow("any letter case") << QStringLiteral("%userdomain%") << QStringLiteral("CORP");
  QTest::newRow("unset variable stays")
      << QStringLiteral("%LOGONSERVER%") << QStringLiteral("%LOGONSERVER%");
  QTest::newRow("text around") << QStringLiteral("a%USERDOMAIN%b") << QStringLiteral("aCORPb");
  QTest::newRow("unset then set") << QStringLiteral("%NOPE%%USERDOMAIN%")
                                  << QStringLiteral("%NOPE%CORP");
  QTest::newRow("lone percent") << QStringLiteral("100%") << QStringLiteral("100%");
  QTest::newRow("empty reference") << QStringLiteral("%%") << QStringLiteral("%%");
  QTest::newRow("empty value") << QStringLiteral("[%EMPTY%]") << QStringLiteral("[]");
  // BIG is 30,000 characters long.
  const QString Big(30000, u'v');
  QTest::newRow("expanded to the limit")
      << QStringLiteral("%BIG%") + QString(MaxExpandedLength - 30000, u'.')
      << Big + QString(MaxExpandedLength - 30000, u'.');
  QTest::newRow("past the limit: as written")
      << QStringLiteral("%BIG%") + QString(MaxExpandedLength - 29999, u'.')
      << QStringLiteral("%BIG%") + QString(MaxExpandedLength - 29999, u'.');
  // Found by fuzzing: 60,000 references to a long value took 2 GB.
  const QString References = QStringLiteral("%Big%").repeated(60000);
  QTest::newRow("60,000 references to a long value: as written") << References << References;
}

void tst_SystemInfo::expandEnvironmentStrings() {
  QFETCH(QString, text);
  QFETCH(QString, expanded);
  FakeSystemInfo System;
  System.Environment.insert(QStringLiteral("USERDOMAIN"), QStringLiteral("CORP"));
  System.Environment.insert(QStringLiteral("Empty"), QString());
  System.Environment.insert(QStringLiteral("BIG"), QString(30000, u'v'));
  QCOMPARE(ExpandEnvironmentStrings(System, text), expanded);
}

void tst_SystemInfo::prettyName_data() {
  QTest::addColumn<QByteArray>("osRelease");
  QTest::addColumn<QString>("name");
  QTest::newRow("double quotes") << QByteArray(
                                        "NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
                                 << QStringLiteral("Debian GNU/Linux 12 (bookworm)");
  QTest::newRow("escapes") << QByteArray("PRETTY_NAME=\"A \\\"B\\\" \\$C\"")
                           << QStringLiteral("A \"B\" $C");
  QTest::newRow("single quotes") << QByteArray("PRETTY_NAME='Alpine Linux v3.19'")
                                 << QStringLiteral("Alpine Linux v3.19");
  QTest::newRow("bare word") << QByteArray("PRETTY_NAME=Gentoo") << QStringLiteral("Gentoo");
  QTest::newRow("missing") << QByteArray("NAME=Fedora\n") << QString();
  QTest::newRow("UTF-8") << QByteArray("PRETTY_NAME=\"Ubuntu \xE2\x80\x93 LTS\"")
                         << QStringLiteral("Ubuntu – LTS");
}

void tst_SystemInfo::prettyName() {
  QFETCH(QByteArray, osRelease);
  QFETCH(QString, name);
  QCOMPARE(OsReleasePrettyName(osRelease), name);
}

void tst_SystemInfo::linuxVersionRecord() {
  LinuxSystemInfo System(QFINDTESTDATA("../fixtures/platform/root-debian"));
  const TOSVersionInfo Version = System.Version();
  QCOMPARE(Version.PlatformId, VER_PLATFORM_WIN32_NT);
  QCOMPARE(Version.MajorVersion, DWORD(6));
  QCOMPARE(Version.MinorVersion, DWORD(2));
  QVERIFY(Version.ExtendedValid);
  QCOMPARE(Version.ProductType, VER_NT_WORKSTATION);
  QCOMPARE(Version.ServicePackMajor, WORD(0));
  QCOMPARE(Version.ProductName, QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
  // Without os-release the kernel names the system.
  LinuxSystemInfo Bare(QStringLiteral("/nonexistent-root"));
  QCOMPARE(Bare.Version().ProductName, QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion());
  DWORD Type = 0;
  QCOMPARE(System.GetProductInfo(6, 2, 0, 0, Type), std::optional<bool>(true));
  QCOMPARE(Type, DWORD(0x30));
  TSystemInfo Native;
  QVERIFY(System.GetNativeSystemInfo(Native));
  QVERIFY(Native.NumberOfProcessors >= 1);
}

void tst_SystemInfo::osReleaseThatIsNoFile_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("a FIFO no one writes to") << QStringLiteral("fifo");
  QTest::newRow("a folder") << QStringLiteral("folder");
  QTest::newRow("a link to a FIFO") << QStringLiteral("link");
}

// /etc/os-release replaced by something that is not a file: the call comes
// back at once and the vendor's copy names the system.
void tst_SystemInfo::osReleaseThatIsNoFile() {
  QFETCH(QString, kind);
  QTemporaryDir Root;
  QVERIFY(QDir(Root.path()).mkpath(QStringLiteral("etc")));
  QVERIFY(QDir(Root.path()).mkpath(QStringLiteral("usr/lib")));
  const QString Etc = Root.filePath(QStringLiteral("etc/os-release"));
  const QString Fifo = Root.filePath(QStringLiteral("fifo"));
  QCOMPARE(::mkfifo(QFile::encodeName(Fifo).constData(), 0644), 0);
  if (kind == QLatin1String("fifo"))
    QCOMPARE(::mkfifo(QFile::encodeName(Etc).constData(), 0644), 0);
  else if (kind == QLatin1String("folder"))
    QVERIFY(QDir().mkdir(Etc));
  else
    QVERIFY(QFile::link(Fifo, Etc));
  QFile Vendor(Root.filePath(QStringLiteral("usr/lib/os-release")));
  QVERIFY(Vendor.open(QIODevice::WriteOnly));
  Vendor.write("PRETTY_NAME=\"Vendor Linux\"\n");
  Vendor.close();
  LinuxSystemInfo System(Root.path());
  QCOMPARE(System.Version().ProductName, QStringLiteral("Vendor Linux"));
}

void tst_SystemInfo::linuxNames() {
  LinuxSystemInfo System;
  QString Computer;
  QVERIFY(System.GetComputerName(Computer));
  QCOMPARE(Computer, QSysInfo::machineHostName().section(u'.', 0, 0));
  QString User;
  QVERIFY(System.GetUserName(User));
  QVERIFY(!User.isEmpty());
}

void tst_SystemInfo::linuxLogonVariables() {
  LinuxSystemInfo System;
  QString Computer;
  QVERIFY(System.GetComputerName(Computer));
  {
    TScopedVariable Domain("USERDOMAIN", {}, false);
    TScopedVariable Server("LOGONSERVER", {}, false);
    QCOMPARE(System.GetEnvironmentVariable(QStringLiteral("USERDOMAIN")),
             std::optional<QString>(Computer));
    QCOMPARE(ExpandEnvironmentStrings(System, QStringLiteral("%LOGONSERVER%")),
             QStringLiteral("\\\\") + Computer);
  }
  {
    TScopedVariable Domain("USERDOMAIN", "CORP");
    TScopedVariable Server("LOGONSERVER", "\\\\DC01");
    QCOMPARE(ExpandEnvironmentStrings(System, QStringLiteral("%UserDomain%|%LOGONSERVER%")),
             QStringLiteral("CORP|\\\\DC01"));
  }
  TScopedVariable Other("KELVANE_TEST_Mixed", "value");
  QCOMPARE(System.GetEnvironmentVariable(QStringLiteral("kelvane_test_mixed")),
           std::optional<QString>(QStringLiteral("value")));
  QCOMPARE(System.GetEnvironmentVariable(QStringLiteral("KELVANE_TEST_UNSET")), std::nullopt);
}

void tst_SystemInfo::linuxTemporaryDirectory_data() {
  QTest::addColumn<QString>("temp"); // "<own>", "<shared>", "<group>", "<blank>", "<unset>"
  QTest::addColumn<QString>(
      "runtime"); // XDG_RUNTIME_DIR: "<private>", "<open>", "<relative>", "<unset>"
  QTest::addColumn<QString>("expected"); // "<own>", "<below temp>", "<below TMPDIR>", "<runtime>"
  QTest::newRow("own folder is used as it is")
      << QStringLiteral("<own>") << QStringLiteral("<private>") << QStringLiteral("<own>");
  QTest::newRow("shared folder gets a private one below it")
      << QStringLiteral("<shared>") << QStringLiteral("<unset>") << QStringLiteral("<below temp>");
  QTest::newRow("group-writable folder counts as shared")
      << QStringLiteral("<group>") << QStringLiteral("<unset>") << QStringLiteral("<below temp>");
  QTest::newRow("blank variable falls back")
      << QStringLiteral("<blank>") << QStringLiteral("<unset>") << QStringLiteral("<below TMPDIR>");
  QTest::newRow("unset variable falls back")
      << QStringLiteral("<unset>") << QStringLiteral("<unset>") << QStringLiteral("<below TMPDIR>");
  QTest::newRow("the runtime folder comes first")
      << QStringLiteral("<unset>") << QStringLiteral("<private>") << QStringLiteral("<runtime>");
  QTest::newRow("the runtime folder also for a shared temp")
      << QStringLiteral("<shared>") << QStringLiteral("<private>") << QStringLiteral("<runtime>");
  QTest::newRow("a runtime folder others may enter is not used")
      << QStringLiteral("<unset>") << QStringLiteral("<open>") << QStringLiteral("<below TMPDIR>");
  QTest::newRow("a relative runtime folder is not used")
      << QStringLiteral("<unset>") << QStringLiteral("<relative>")
      << QStringLiteral("<below TMPDIR>");
}

void tst_SystemInfo::linuxTemporaryDirectory() {
  QFETCH(QString, temp);
  QFETCH(QString, runtime);
  QFETCH(QString, expected);
  QTemporaryDir Own, Shared, TmpDir, Runtime;
  QVERIFY(::chmod(QFile::encodeName(Shared.path()).constData(),
                  temp == QLatin1String("<group>") ? 02770 : 01777) == 0);
  QVERIFY(::chmod(QFile::encodeName(Runtime.path()).constData(),
                  runtime == QLatin1String("<open>") ? 0755 : 0700) == 0);
  const QByteArray Value = temp == QLatin1String("<own>") ? QFile::encodeName(Own.path())
                           : temp == QLatin1String("<shared>") || temp == QLatin1String("<group>")
                               ? QFile::encodeName(Shared.path())
                               : QByteArray("  ");
  TScopedVariable Lower("temp", Value, temp != QLatin1String("<unset>"));
  TScopedVariable Upper("TEMP", {}, false);
  TScopedVariable Base("TMPDIR", QFile::encodeName(TmpDir.path()));
  TScopedVariable RuntimeDir("XDG_RUNTIME_DIR",
                             runtime == QLatin1String("<relative>")
                                 ? QByteArray("run/user")
                                 : QFile::encodeName(Runtime.path()),
                             runtime != QLatin1String("<unset>"));
  const QString Private = QStringLiteral("kelvane-%1").arg(::geteuid());
  const QString Want = expected == QLatin1String("<own>") ? Own.path()
                       : expected == QLatin1String("<below temp>")
                           ? QDir(Shared.path()).filePath(Private)
                       : expected == QLatin1String("<runtime>")
                           ? QDir(Runtime.path()).filePath(QStringLiteral("kelvane"))
                           : QDir(TmpDir.path()).filePath(Private);
  LinuxSystemInfo System;
  QCOMPARE(System.GetEnvironmentVariable(QStringLiteral("temp")), std::optional<QString>(Want));
  QCOMPARE(modeOf(Want) & 0777, mode_t(0700));
}

void tst_SystemInfo::privateDirectoryTaken_data() {
  QTest::addColumn<QString>("taken"); // what stands at kelvane-<euid> first
  QTest::newRow("a link to elsewhere") << QStringLiteral("link");
  QTest::newRow("another user's folder") << QStringLiteral("other user");
  QTest::newRow("our folder, open to others") << QStringLiteral("open");
  QTest::newRow("a file") << QStringLiteral("file");
}

// Anyone may create a name in a shared folder first: the program then makes
// a private folder of its own beside it, and takes that one again next time.
void tst_SystemInfo::privateDirectoryTaken() {
  QFETCH(QString, taken);
  QTemporaryDir Base, Elsewhere;
  QVERIFY(::chmod(QFile::encodeName(Base.path()).constData(), 01777) == 0);
  const QString Name = QStringLiteral("kelvane-%1").arg(::geteuid());
  const QString Expected = QDir(Base.path()).filePath(Name);
  const QByteArray Native = QFile::encodeName(Expected);
  if (taken == QLatin1String("link")) {
    QVERIFY(QFile::link(Elsewhere.path(), Expected));
  } else if (taken == QLatin1String("file")) {
    QFile File(Expected);
    QVERIFY(File.open(QIODevice::WriteOnly));
  } else {
    QVERIFY(::mkdir(Native.constData(), 0700) == 0);
    if (taken == QLatin1String("other user"))
      QVERIFY(::chown(Native.constData(), 65534, 65534) == 0 || ::geteuid() != 0);
    else
      QVERIFY(::chmod(Native.constData(), 0755) == 0);
  }
  if (taken == QLatin1String("other user") && ::geteuid() != 0)
    QSKIP("needs root to hand a folder to another user");

  const QString Fresh = LinuxSystemInfo::PrivateTempDirectory(Base.path());
  QVERIFY2(Fresh.startsWith(Expected + u'.') && Fresh.size() == Expected.size() + 7,
           qPrintable(Fresh));
  QCOMPARE(modeOf(Fresh) & 0777, mode_t(0700));
  QVERIFY(S_ISDIR(modeOf(Fresh)));
  QCOMPARE(LinuxSystemInfo::PrivateTempDirectory(Base.path() + u'/'), Fresh);
  QVERIFY(QDir(Elsewhere.path()).isEmpty());
  QCOMPARE(
      QDir(Base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(),
      2);
}

// Nothing can be made where the base is missing: no folder at all, never
// the root.
void tst_SystemInfo::privateDirectoryWithoutBase() {
  QTemporaryDir Base;
  QCOMPARE(LinuxSystemInfo::PrivateTempDirectory(Base.filePath(QStringLiteral("missing"))),
           QString());
}

KELVANE_TEST_MAIN(tst_SystemInfo)
#include "tst_SystemInfo.moc"
