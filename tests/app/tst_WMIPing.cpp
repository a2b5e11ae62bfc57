// The ping through the management service, over fake Win32_PingStatus rows.

#include "support/TestMain.h"

#include "app/WMIPing.h"
#include "platform/fake/FakePlatform.h"

#include <QTest>

class tst_WMIPing : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void statusCodes_data();
  void statusCodes();
  void queryQuotesTheAddress();
  void emptyResultIsGeneralFailure();
  void defaults();
};

void tst_WMIPing::statusCodes_data() {
  QTest::addColumn<QVariant>("status");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("answered");
  QTest::newRow("success") << QVariant(0) << 0 << QStringLiteral("Success") << true;
  QTest::newRow("timed out") << QVariant(11010) << 11010 << QStringLiteral("Request Timed Out")
                             << false;
  QTest::newRow("host unreachable")
      << QVariant(11003) << 11003 << QStringLiteral("Destination Host Unreachable") << false;
  QTest::newRow("TTL expired in transit")
      << QVariant(11013) << 11013 << QStringLiteral("TimeToLive Expired Transit") << false;
  QTest::newRow("not in the table") << QVariant(11019) << 11019 << QStringLiteral("Error") << false;
  QTest::newRow("negative") << QVariant(-5) << -5 << QStringLiteral("Error") << false;
  QTest::newRow("null: host not found")
      << QVariant() << -1 << QStringLiteral("Host not found") << false;
}

void tst_WMIPing::statusCodes() {
  QFETCH(QVariant, status);
  QFETCH(int, code);
  QFETCH(QString, message);
  QFETCH(bool, answered);
  FakePlatform Platform;
  TWmiObject Row(QStringLiteral("Win32_PingStatus"));
  Row.Set(QStringLiteral("Address"), wbemCimtypeString, QStringLiteral("DC01"))
      .Set(QStringLiteral("BufferSize"), wbemCimtypeUint32, 32)
      .Set(QStringLiteral("Timeout"), wbemCimtypeUint32, 1000)
      .Set(QStringLiteral("TimeToLive"), wbemCimtypeUint32, 128)
      .Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, status)
      .Set(QStringLiteral("ResponseTime"), wbemCimtypeUint32, 3)
      .Set(QStringLiteral("ProtocolAddress"), wbemCimtypeString, QStringLiteral("10.0.0.1"));
  Platform.FakeWmiService().AddInstance(Row);
  ScopedPlatform Scope(Platform);
  TWMIPing Ping;
  Ping.Response().SetResponseTime(99);
  Ping.Response().SetProtocolAddress(QStringLiteral("earlier"));
  Ping.Response().SetTimeToLive(7);
  Ping.SetAddress(QStringLiteral("DC01"));
  Ping.SetTimeToLive(128);
  Ping.Ping();
  QCOMPARE(Ping.Response().StatusCode(), code);
  QCOMPARE(Ping.Response().StatusMessage(), message);
  QCOMPARE(Ping.Response().ResponseTime(), answered ? 3 : 99);
  QCOMPARE(Ping.Response().ProtocolAddress(),
           answered ? QStringLiteral("10.0.0.1") : QStringLiteral("earlier"));
  QCOMPARE(Ping.Response().TimeToLive(), answered ? 128 : 7);
}

void tst_WMIPing::queryQuotesTheAddress() {
  FakePlatform Platform;
  TWmiObject Row(QStringLiteral("Win32_PingStatus"));
  Row.Set(QStringLiteral("Address"), wbemCimtypeString, QStringLiteral("o'brien"))
      .Set(QStringLiteral("BufferSize"), wbemCimtypeUint32, 32)
      .Set(QStringLiteral("Timeout"), wbemCimtypeUint32, 1000)
      .Set(QStringLiteral("TimeToLive"), wbemCimtypeUint32, 128)
      .Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, 0);
  Platform.FakeWmiService().AddInstance(Row);
  ScopedPlatform Scope(Platform);
  TWMIPing Ping;
  Ping.SetAddress(QStringLiteral("o'brien"));
  Ping.SetTimeout(1000);
  Ping.SetBufferSize(32);
  Ping.SetTimeToLive(128);
  Ping.Ping();
  QCOMPARE(Platform.FakeWmiService().Queries,
           QStringList{QStringLiteral(
               "SELECT * FROM Win32_PingStatus where Address='o''brien' AND BufferSize=32 AND "
               "Timeout=1000 AND TimeToLive=128")});
  QCOMPARE(Ping.Response().StatusCode(), 0);
}

void tst_WMIPing::emptyResultIsGeneralFailure() {
  FakePlatform Platform;
  Platform.FakeWmiService().AddInstance(TWmiObject(QStringLiteral("Win32_PingStatus")));
  ScopedPlatform Scope(Platform);
  TWMIPing Ping;
  QCOMPARE(Ping.Response().StatusCode(), 0);
  Ping.SetAddress(QStringLiteral("nobody"));
  Ping.Ping();
  QCOMPARE(Ping.Response().StatusCode(), 11050);
  QCOMPARE(Ping.Response().StatusMessage(), QStringLiteral("General Failure"));
}

void tst_WMIPing::defaults() {
  FakePlatform Platform;
  ScopedPlatform Scope(Platform);
  TWMIPing Ping;
  QCOMPARE(Ping.Timeout(), 1000);
  QCOMPARE(Ping.BufferSize(), std::uint16_t(32));
  QCOMPARE(Ping.TimeToLive(), 80);
  QVERIFY(Ping.Address().isEmpty());
  QCOMPARE(Ping.Response().StatusCode(), 0);
  QVERIFY(Ping.Response().StatusMessage().isEmpty());
  // No provider for the class: the service's error reaches the caller.
  Ping.SetAddress(QStringLiteral("x"));
  QVERIFY_THROWS_EXCEPTION(EOleException, Ping.Ping());
}

KELVANE_TEST_MAIN(tst_WMIPing)
#include "tst_WMIPing.moc"
