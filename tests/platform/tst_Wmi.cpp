// The query language and the service over providers: what parses, what the
// service raises, how conditions filter and how the property list projects.

#include "support/TestMain.h"

#include "platform/Wmi.h"
#include "platform/fake/FakePlatform.h"

#include <QTest>

namespace {
TWmiObject adapter(int AIndex, const QString& ADescription, bool AEnabled) {
  TWmiObject Object(QStringLiteral("Win32_NetworkAdapterConfiguration"));
  Object.Set(QStringLiteral("Index"), wbemCimtypeUint32, AIndex)
      .Set(QStringLiteral("Description"), wbemCimtypeString, ADescription)
      .Set(QStringLiteral("IPEnabled"), wbemCimtypeBoolean, AEnabled)
      .Set(QStringLiteral("DNSDomain"), wbemCimtypeString, QVariant());
  return Object;
}

std::unique_ptr<IWmiServices> connectLocal(FakeWmi& AWmi) {
  return AWmi.ConnectServer(QStringLiteral("localhost"), QStringLiteral("root\\CIMV2"), {}, {});
}
} // namespace

class tst_Wmi : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void parse_data();
  void parse();
  void query_data();
  void query();
  void errors_data();
  void errors();
  void requiredValue();
};

void tst_Wmi::parse_data() {
  QTest::addColumn<QString>("query");
  QTest::addColumn<QString>("className"); // empty: invalid query
  QTest::addColumn<QStringList>("properties");
  QTest::newRow("ping query") << QStringLiteral(
                                     "SELECT * FROM Win32_PingStatus where Address='DC01' AND "
                                     "BufferSize=32 AND Timeout=1000 AND TimeToLive=128")
                              << QStringLiteral("Win32_PingStatus") << QStringList();
  QTest::newRow("property list, any case")
      << QStringLiteral("select Index, Description from Win32_X") << QStringLiteral("Win32_X")
      << QStringList{QStringLiteral("Index"), QStringLiteral("Description")};
  QTest::newRow("class meta query")
      << QStringLiteral("SELECT * FROM Meta_Class WHERE __CLASS = \"Win32_X\"")
      << QStringLiteral("Meta_Class") << QStringList();
  QTest::newRow("parentheses and OR")
      << QStringLiteral("SELECT * FROM C WHERE (A = 1 OR B = 'x') AND (C = 2)")
      << QStringLiteral("C") << QStringList();
  QTest::newRow("missing FROM") << QStringLiteral("SELECT * Win32_X") << QString() << QStringList();
  QTest::newRow("trailing text") << QStringLiteral("SELECT * FROM C junk") << QString()
                                 << QStringList();
  QTest::newRow("unterminated literal")
      << QStringLiteral("SELECT * FROM C WHERE A = 'x") << QString() << QStringList();
  QTest::newRow("other operator") << QStringLiteral("SELECT * FROM C WHERE A > 1") << QString()
                                  << QStringList();
  QTest::newRow("unbalanced parenthesis")
      << QStringLiteral("SELECT * FROM C WHERE (A = 1") << QString() << QStringList();
  QTest::newRow("empty") << QString() << QString() << QStringList();
  QTest::newRow("nesting too deep")
      << QStringLiteral("SELECT * FROM C WHERE ") + QString(100, u'(') + QStringLiteral("A = 1") +
             QString(100, u')')
      << QString() << QStringList();
}

void tst_Wmi::parse() {
  QFETCH(QString, query);
  QFETCH(QString, className);
  QFETCH(QStringList, properties);
  try {
    const TWqlQuery Parsed = ParseWql(query);
    QCOMPARE(Parsed.ClassName, className);
    QCOMPARE(Parsed.Properties, properties);
  } catch (const EOleException& E) {
    QVERIFY2(className.isEmpty(), qPrintable(E.Message()));
    QCOMPARE(E.ErrorCode(), WBEM_E_INVALID_QUERY);
  }
}

void tst_Wmi::query_data() {
  QTest::addColumn<QString>("query");
  QTest::addColumn<QStringList>("descriptions");
  QTest::addColumn<int>("propertyCount");
  QTest::newRow("all") << QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration")
                       << QStringList{QStringLiteral("eth0"), QStringLiteral("it's wlan"),
                                      QStringLiteral("lo")}
                       << 4;
  QTest::newRow("number") << QStringLiteral(
                                 "SELECT * FROM win32_networkadapterconfiguration WHERE Index = 2")
                          << QStringList{QStringLiteral("it's wlan")} << 4;
  QTest::newRow("text without case, doubled quote")
      << QStringLiteral("SELECT Description FROM Win32_NetworkAdapterConfiguration WHERE "
                        "description = 'IT''S WLAN'")
      << QStringList{QStringLiteral("it's wlan")} << 1;
  QTest::newRow("Boolean and OR") << QStringLiteral(
                                         "SELECT * FROM Win32_NetworkAdapterConfiguration WHERE "
                                         "IPEnabled = 'TRUE' AND (Index = 1 OR Index = 3)")
                                  << QStringList{QStringLiteral("eth0")} << 4;
  QTest::newRow("null never matches")
      << QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration WHERE DNSDomain = ''")
      << QStringList() << 4;
  QTest::newRow("class name as property")
      << QStringLiteral("SELECT Index FROM Win32_NetworkAdapterConfiguration WHERE __CLASS = "
                        "'WIN32_NETWORKADAPTERCONFIGURATION' AND Index = 3")
      << QStringList{QString()} << 1;
  // Chains as long as a query text may be: one level each, so neither
  // matching nor freeing them recurses once per term.
  QString Either =
      QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 7");
  QString Both = QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 3");
  for (int I = 0; I < 200000; ++I) {
    Either += QStringLiteral(" OR Index = 7");
    Both += QStringLiteral(" AND IPEnabled = 'FALSE'");
  }
  QTest::newRow("200,000 terms joined by OR")
      << Either + QStringLiteral(" OR Index = 2") << QStringList{QStringLiteral("it's wlan")} << 4;
  QTest::newRow("200,000 terms joined by AND") << Both << QStringList{QStringLiteral("lo")} << 4;
}

void tst_Wmi::query() {
  QFETCH(QString, query);
  QFETCH(QStringList, descriptions);
  QFETCH(int, propertyCount);
  FakeWmi Wmi;
  Wmi.AddInstance(adapter(1, QStringLiteral("eth0"), true));
  Wmi.AddInstance(adapter(2, QStringLiteral("it's wlan"), false));
  Wmi.AddInstance(adapter(3, QStringLiteral("lo"), false));
  QStringList Seen;
  for (const TWmiObject& Object : connectLocal(Wmi)->ExecQuery(query)) {
    Seen << Object.Value(QStringLiteral("Description")).toString();
    QCOMPARE(int(Object.Properties().size()), propertyCount);
  }
  QCOMPARE(Seen, descriptions);
  QCOMPARE(Wmi.Queries, QStringList{query});
}

void tst_Wmi::errors_data() {
  QTest::addColumn<QString>("server");
  QTest::addColumn<QString>("nameSpace");
  QTest::addColumn<QString>("query");
  QTest::addColumn<QString>("language");
  QTest::addColumn<int>("error");
  const QString Local = QStringLiteral("localhost"), Cimv2 = QStringLiteral("root\\CIMV2");
  QTest::newRow("unknown class") << Local << Cimv2 << QStringLiteral("SELECT * FROM Win32_Nothing")
                                 << QStringLiteral("WQL") << int(WBEM_E_INVALID_CLASS);
  QTest::newRow("invalid query") << Local << Cimv2 << QStringLiteral("DELETE FROM X")
                                 << QStringLiteral("WQL") << int(WBEM_E_INVALID_QUERY);
  QTest::newRow("other language") << Local << Cimv2 << QStringLiteral("SELECT * FROM X")
                                  << QStringLiteral("SQL") << int(WBEM_E_INVALID_QUERY_TYPE);
  QTest::newRow("other namespace") << Local << QStringLiteral("root\\default") << QString()
                                   << QString() << int(WBEM_E_INVALID_NAMESPACE);
  QTest::newRow("remote server") << QStringLiteral("dc01") << Cimv2 << QString() << QString()
                                 << int(WBEM_E_INVALID_NAMESPACE);
  QTest::newRow("namespace in any case, dot server")
      << QStringLiteral(".") << QStringLiteral("ROOT\\cimv2")
      << QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration") << QStringLiteral("wql")
      << 0;
}

void tst_Wmi::errors() {
  QFETCH(QString, server);
  QFETCH(QString, nameSpace);
  QFETCH(QString, query);
  QFETCH(QString, language);
  QFETCH(int, error);
  FakeWmi Wmi;
  Wmi.AddInstance(adapter(1, QStringLiteral("eth0"), true));
  try {
    auto Services = Wmi.ConnectServer(server, nameSpace, {}, {});
    QCOMPARE(int(Services->ExecQuery(query, language).size()), 1);
    QCOMPARE(error, 0);
  } catch (const EOleException& E) {
    QCOMPARE(E.ErrorCode(), error);
  }
}

void tst_Wmi::requiredValue() {
  const TWqlQuery Ping =
      ParseWql(QStringLiteral("SELECT * FROM Win32_PingStatus where Address='it''s' AND "
                              "BufferSize=32 AND Timeout=1000 AND TimeToLive=128"));
  QCOMPARE(Ping.RequiredValue(QStringLiteral("address")),
           std::optional<QVariant>(QStringLiteral("it's")));
  QCOMPARE(Ping.RequiredValue(QStringLiteral("Timeout"))->toInt(), 1000);
  QCOMPARE(Ping.RequiredValue(QStringLiteral("Missing")), std::nullopt);
  const TWqlQuery Either = ParseWql(QStringLiteral("SELECT * FROM C WHERE A = 1 OR A = 2"));
  QCOMPARE(Either.RequiredValue(QStringLiteral("A")), std::nullopt);
  QString Long = QStringLiteral("SELECT * FROM C WHERE (A = 1 OR A = 2)");
  for (int I = 0; I < 200000; ++I)
    Long += QStringLiteral(" AND B = %1").arg(I);
  const TWqlQuery Chain = ParseWql(Long + QStringLiteral(" AND Address = 'last'"));
  QCOMPARE(Chain.RequiredValue(QStringLiteral("B"))->toInt(), 0);
  QCOMPARE(Chain.RequiredValue(QStringLiteral("address")),
           std::optional<QVariant>(QStringLiteral("last")));
  QCOMPARE(Chain.RequiredValue(QStringLiteral("A")), std::nullopt);
}

KELVANE_TEST_MAIN(tst_Wmi)
#include "tst_Wmi.moc"
