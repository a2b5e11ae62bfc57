// The Linux registry: the system view with the machine file on top, and
// where that file is looked for.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/RegistryAccess.h"
#include "platform/linux/LinuxPlatform.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

class tst_LinuxRegistry : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void linuxBackendReadsMachineFile();
  void machineFileFromEnvironment();
  void viewBuiltOnDemand();
};

void tst_LinuxRegistry::linuxBackendReadsMachineFile() {
  LinuxRegistry Machine(QFINDTESTDATA("../fixtures/platform/machine.reg"));
  TRegistry Registry(Machine, KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("Software\\Morvel\\Tesk")));
  QCOMPARE(Registry.ReadInteger(QStringLiteral("DebugEnabled")), 1);
  QCOMPARE(Registry.ReadString(QStringLiteral("DirectDebugTCP")), QStringLiteral("127.0.0.1:4228"));
  QVERIFY(Registry.KeyExists(QStringLiteral("\\SOFTWARE\\WOW6432Node\\Morvel")));

  // Without a system below the root, a missing file leaves the hive empty.
  LinuxRegistry Missing(QStringLiteral("/nonexistent/kelvane/machine.reg"),
                        QStringLiteral("/nonexistent/kelvane/root"));
  TRegistry Empty(Missing, KEY_READ);
  Empty.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(!Empty.OpenKeyReadOnly(QStringLiteral("Software")));
  QCOMPARE(Empty.LastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

void tst_LinuxRegistry::machineFileFromEnvironment() {
  const QByteArray Saved = qgetenv("KELVANE_MACHINE_REG");
  auto restore = qScopeGuard([&Saved] {
    if (Saved.isNull())
      qunsetenv("KELVANE_MACHINE_REG");
    else
      qputenv("KELVANE_MACHINE_REG", Saved);
  });
  const QString Fixture = QFINDTESTDATA("../fixtures/platform/machine.reg");
  qputenv("KELVANE_MACHINE_REG", QFile::encodeName(Fixture));
  QCOMPARE(LinuxRegistry::MachineFile(), Fixture);
  LinuxRegistry Machine;
  TRegistry Registry(Machine, KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Morvel\\Tesk")));
  QCOMPARE(Registry.ReadString(QStringLiteral("DirectDebugTCP")), QStringLiteral("127.0.0.1:4228"));

  qputenv("KELVANE_MACHINE_REG", "");
  QCOMPARE(LinuxRegistry::MachineFile(), QStringLiteral("/etc/kelvane/machine.reg"));
}

// Reading the program's own configuration reads nothing of the machine (the
// host name changed afterwards is the one the view shows); the first read
// below the view's keys builds it, with the machine file still on top.
void tst_LinuxRegistry::viewBuiltOnDemand() {
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, "[proc/sys/kernel]\nhostname = early\n"), QString());
  const QString File = Scratch.FilePath(QStringLiteral("machine.reg"));
  QFile Reg(File);
  QVERIFY(Reg.open(QIODevice::WriteOnly));
  Reg.write(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvel\\Tesk]\r\n\"DebugEnabled\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters]\r\n"
      "\"Domain\"=\"from.file\"\r\n");
  Reg.close();
  LinuxRegistry Machine(File, Root);
  TRegistry Registry(Machine, KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("SOFTWARE\\Morvel\\Tesk")));
  QCOMPARE(Registry.ReadInteger(QStringLiteral("DebugEnabled")), 1);
  QCOMPARE(LayOutTree(Root, "[proc/sys/kernel]\nhostname = late\n"), QString());
  QVERIFY(Registry.OpenKeyReadOnly(
      QStringLiteral("\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters")));
  QCOMPARE(Registry.ReadString(QStringLiteral("Hostname")), QStringLiteral("late"));
  QCOMPARE(Registry.ReadString(QStringLiteral("Domain")), QStringLiteral("from.file"));
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("\\SOFTWARE\\Morvel\\Tesk")));
  QCOMPARE(Registry.ReadInteger(QStringLiteral("DebugEnabled")), 1);
}

KELVANE_TEST_MAIN(tst_LinuxRegistry)
#include "tst_LinuxRegistry.moc"
