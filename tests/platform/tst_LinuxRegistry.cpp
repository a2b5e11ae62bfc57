// The Linux registry: the system view with the machine file on top, and
// where that file is looked for.

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

KELVANE_TEST_MAIN(tst_LinuxRegistry)
#include "tst_LinuxRegistry.moc"
