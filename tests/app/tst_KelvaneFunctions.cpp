// The host-identity queries over a fake system: names, the domain and
// logon-server expansions, and the temporary directory.

#include "support/TestMain.h"

#include "app/KelvaneFunctions.h"
#include "platform/fake/FakePlatform.h"

#include <QTest>

class tst_KelvaneFunctions : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void queries_data();
  void queries();
  void failedNameCallsGiveEmptyTexts();
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

KELVANE_TEST_MAIN(tst_KelvaneFunctions)
#include "tst_KelvaneFunctions.moc"
