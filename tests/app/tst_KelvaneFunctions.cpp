// The host-identity queries over a fake system: names, the domain and
// logon-server expansions, and the temporary directory.

#include "support/TestMain.h"

#include "app/KelvaneFunctions.h"
#include "platform/fake/FakePlatform.h"

#include <QTemporaryDir>
#include <QTest>

class tst_KelvaneFunctions : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void queries_data();
  void queries();
  void failedNameCallsGiveEmptyTexts();
  void generalInformation_data();
  void generalInformation();
};

void tst_KelvaneFunctions::queries_data() {
  QTest::addColumn<QString>("variable");
  QTest::addColumn<QString>("value"); // null: not set
  QTest::addColumn<QString>("domain");
  QTest::addColumn<QString>("logonServer");
  QTest::addColumn<QString>("temp");
  const QString Long =
      QStringLiteral("a-host-name-of-sixty-three-characters-which-is-the-longest-one");
  QTest::newRow("nothing set") << QString() << QString() << QStringLiteral("%USERDOMAIN%")
                               << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("logon server with backslashes")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("\\\\DC01")
      << QStringLiteral("%USERDOMAIN%") << QStringLiteral("DC01") << QString();
  QTest::newRow("logon server without backslashes loses two characters")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("DC01") << QStringLiteral("%USERDOMAIN%")
      << QStringLiteral("01") << QString();
  QTest::newRow("long logon server is not cut")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("\\\\") + Long
      << QStringLiteral("%USERDOMAIN%") << Long << QString();
  QTest::newRow("long domain is not cut")
      << QStringLiteral("USERDOMAIN") << Long << Long << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("value up to its first NUL")
      << QStringLiteral("USERDOMAIN") << QStringLiteral("CORP") + QChar(0) + "X"
      << QStringLiteral("CORP") << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("temp in any letter case")
      << QStringLiteral("TEMP") << QStringLiteral("/var/tmp/k") << QStringLiteral("%USERDOMAIN%")
      << QStringLiteral("OGONSERVER%") << QStringLiteral("/var/tmp/k");
}

void tst_KelvaneFunctions::queries() {
  QFETCH(QString, variable);
  QFETCH(QString, value);
  QFETCH(QString, domain);
  QFETCH(QString, logonServer);
  QFETCH(QString, temp);
  FakePlatform Platform;
  if (!variable.isEmpty())
    Platform.FakeSystem().Environment.insert(variable, value);
  ScopedPlatform Scope(Platform);
  QCOMPARE(ReadUserDomain(), domain);
  QCOMPARE(ReadLogonServer(), logonServer);
  QCOMPARE(ReadTempDirectory(), temp);
  QCOMPARE(ReadComputerName(), QStringLiteral("FAKEHOST"));
  QCOMPARE(ReadUserName(), QStringLiteral("tester"));
}

void tst_KelvaneFunctions::failedNameCallsGiveEmptyTexts() {
  FakePlatform Platform;
  Platform.FakeSystem().ComputerName.reset();
  Platform.FakeSystem().UserName = QStringLiteral("anna") + QChar(0) + QStringLiteral("rest");
  ScopedPlatform Scope(Platform);
  QCOMPARE(ReadComputerName(), QString());
  QCOMPARE(ReadUserName(), QStringLiteral("anna"));
}

namespace {
TWmiObject pingStatus(const QString& AAddress, const QVariant& AStatus) {
  TWmiObject Row(QStringLiteral("Win32_PingStatus"));
  Row.Set(QStringLiteral("Address"), wbemCimtypeString, AAddress)
      .Set(QStringLiteral("BufferSize"), wbemCimtypeUint32, 32)
      .Set(QStringLiteral("Timeout"), wbemCimtypeUint32, 1000)
      .Set(QStringLiteral("TimeToLive"), wbemCimtypeUint32, 128)
      .Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, AStatus);
  return Row;
}
} // namespace

void tst_KelvaneFunctions::generalInformation_data() {
  QTest::addColumn<QString>("logonServer"); // null: not set
  QTest::addColumn<QVariant>("status");     // null: host not found; -99: no row at all
  QTest::addColumn<QString>("computer");    // the computer name the system reports
  QTest::addColumn<QString>("connected");
  QTest::addColumn<QString>("address");
  QTest::addColumn<int>("pings");
  QTest::newRow("logon server answers")
      << QStringLiteral("\\\\DC01") << QVariant(0) << QStringLiteral("PC1") << QStringLiteral("Yes")
      << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("timed out") << QStringLiteral("\\\\DC01") << QVariant(11010)
                             << QStringLiteral("PC1") << QStringLiteral("No")
                             << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("host not found") << QStringLiteral("\\\\DC01") << QVariant()
                                  << QStringLiteral("PC1") << QStringLiteral("No")
                                  << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("no answer at all is not success")
      << QStringLiteral("\\\\DC01") << QVariant(-99) << QStringLiteral("PC1")
      << QStringLiteral("No") << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("blank logon server is not pinged")
      << QStringLiteral("\\\\ \t") << QVariant(0) << QStringLiteral("PC1") << QStringLiteral("No")
      << QStringLiteral("10.0.0.7") << 0;
  QTest::newRow("computer name unresolved: own host name")
      << QStringLiteral("\\\\DC01") << QVariant(0) << QStringLiteral("UNKNOWNPC")
      << QStringLiteral("Yes") << QStringLiteral("192.168.1.20") << 1;
}

void tst_KelvaneFunctions::generalInformation() {
  QFETCH(QString, logonServer);
  QFETCH(QVariant, status);
  QFETCH(QString, computer);
  QFETCH(QString, connected);
  QFETCH(QString, address);
  QFETCH(int, pings);
  FakePlatform Platform;
  FakeSystemInfo& System = Platform.FakeSystem();
  System.ComputerName = computer;
  System.VersionInfo.ProductName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
  System.Environment.insert(QStringLiteral("LOGONSERVER"), logonServer);
  System.Environment.insert(QStringLiteral("USERDOMAIN"), QStringLiteral("CORP"));
  QTemporaryDir Temp; // the adapter pipeline's working file goes here
  System.Environment.insert(QStringLiteral("temp"), Temp.path());
  Platform.FakeNet().Names.insert(QStringLiteral("PC1"), {0x0A000007u});
  Platform.FakeNet().Names.insert(QStringLiteral("fakehost"), {0xC0A80114u});
  if (status != QVariant(-99))
    Platform.FakeWmiService().AddInstance(pingStatus(QStringLiteral("DC01"), status));
  else
    Platform.FakeWmiService().AddInstance(TWmiObject(QStringLiteral("Win32_PingStatus")));
  ScopedPlatform Scope(Platform);

  TObjectList<TKelvaneData> Groups;
  bool IsConnected = false;
  GatherInformation(Groups, IsConnected);
  QCOMPARE(Groups.Count(), 1);
  const TKelvaneData* General = Groups.First();
  QCOMPARE(General->Caption(), QStringLiteral("General Information"));
  QStringList Lines;
  for (const TKelvaneData* Line : *General->SubItems())
    Lines << Line->Caption() + u'=' + Line->Value();
  const QString Logon =
      logonServer.mid(2).trimmed().isEmpty() ? QStringLiteral("not available") : logonServer.mid(2);
  QCOMPARE(Lines,
           (QStringList{QStringLiteral("Computer Name=") + computer, QStringLiteral("User=tester"),
                        QStringLiteral("Domain=CORP"), QStringLiteral("Logon Server=") + Logon,
                        QStringLiteral("Operating System=Debian GNU/Linux 12 (bookworm)"),
                        QStringLiteral("Service Pack=not available"),
                        QStringLiteral("IP Address=") + address,
                        QStringLiteral("Network connected=") + connected}));
  QCOMPARE(IsConnected, connected == QLatin1String("Yes"));
  QCOMPARE(Platform.FakeWmiService().Queries.filter(QStringLiteral("Win32_PingStatus")).size(), pings);
}

KELVANE_TEST_MAIN(tst_KelvaneFunctions)
#include "tst_KelvaneFunctions.moc"
