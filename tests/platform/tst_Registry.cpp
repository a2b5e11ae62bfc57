// The registry port and the registry object over it: error codes,
// enumeration order, typed reads.

#include "support/TestMain.h"

#include "common/Exceptions.h"
#include "platform/RegistryAccess.h"
#include "platform/fake/FakePlatform.h"

#include <QFile>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {
const QString Contents = QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Kelvane]\n"
                                        "\"Zeta\"=\"last\"\n"
                                        "\"Alpha\"=dword:00000005\n"
                                        "@=\"default\"\n"
                                        "\"Text\"=\"  spaced  \"\n"
                                        "\"Expand\"=hex(2):25,00,54,00,25,00,00,00\n"
                                        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                        "\"Big\"=hex(b):ff,ff,ff,ff,ff,ff,ff,7f\n"
                                        "\"Bin\"=hex:de,ad\n"
                                        "\"Negative\"=dword:ffffffff\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\Kelvane\\Zoo]\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\Kelvane\\Ant]\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Kelvane]\n"
                                        "\"View\"=\"32\"\n");
} // namespace

class tst_Registry : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void portErrorCodes_data();
  void portErrorCodes();
  void enumerationInStoredOrder();
  void handlesOutliveNothing();
  void concurrentReaders();
  void typedReads_data();
  void typedReads();
  void openingKeys();
  void viewFlagsChangeNothing();
};

void tst_Registry::portErrorCodes_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<uint>("access");
  QTest::addColumn<int>("error");
  QTest::newRow("existing key") << QStringLiteral("Software\\Kelvane") << uint(KEY_READ)
                                << int(ERROR_SUCCESS);
  QTest::newRow("any letter case")
      << QStringLiteral("SOFTWARE\\kelvane\\ZOO") << uint(KEY_READ) << int(ERROR_SUCCESS);
  QTest::newRow("doubled separators")
      << QStringLiteral("Software\\\\Kelvane\\") << uint(KEY_READ) << int(ERROR_SUCCESS);
  QTest::newRow("missing key") << QStringLiteral("Software\\Nothing") << uint(KEY_READ)
                               << int(ERROR_FILE_NOT_FOUND);
  QTest::newRow("write access on a read-only hive")
      << QStringLiteral("Software\\Kelvane") << uint(KEY_ALL_ACCESS) << int(ERROR_ACCESS_DENIED);
  QTest::newRow("query only") << QStringLiteral("Software\\Kelvane") << uint(KEY_QUERY_VALUE)
                              << int(ERROR_SUCCESS);
  QTest::newRow("64-bit view flag") << QStringLiteral("Software\\Kelvane")
                                    << uint(KEY_READ | KEY_WOW64_64KEY) << int(ERROR_SUCCESS);
}

void tst_Registry::portErrorCodes() {
  QFETCH(QString, path);
  QFETCH(uint, access);
  QFETCH(int, error);
  FakeRegistry Registry(Contents);
  TRegHandle Key = 0;
  QCOMPARE(int(Registry.OpenKey(HKEY_LOCAL_MACHINE, path, access, Key)), error);
  QCOMPARE(Key != 0, error == int(ERROR_SUCCESS));
  if (Key)
    QCOMPARE(int(Registry.CloseKey(Key)), int(ERROR_SUCCESS));
}

void tst_Registry::enumerationInStoredOrder() {
  FakeRegistry Registry(Contents);
  TRegHandle Key = 0;
  QCOMPARE(
      int(Registry.OpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Kelvane"), KEY_READ, Key)),
      int(ERROR_SUCCESS));
  QStringList Values;
  QString Name;
  DWORD I = 0;
  for (; Registry.EnumValue(Key, I, Name) == ERROR_SUCCESS; ++I)
    Values << Name;
  QCOMPARE(int(Registry.EnumValue(Key, I, Name)), int(ERROR_NO_MORE_ITEMS));
  QCOMPARE(Values,
           (QStringList{QStringLiteral("Zeta"), QStringLiteral("Alpha"), QString(),
                        QStringLiteral("Text"), QStringLiteral("Expand"), QStringLiteral("Multi"),
                        QStringLiteral("Big"), QStringLiteral("Bin"), QStringLiteral("Negative")}));
  QCOMPARE(int(Registry.EnumKey(Key, 0, Name)), int(ERROR_SUCCESS));
  QCOMPARE(Name, QStringLiteral("Zoo"));
  QCOMPARE(int(Registry.EnumKey(Key, 2, Name)), int(ERROR_NO_MORE_ITEMS));
  TRegKeyInfo Info;
  QCOMPARE(int(Registry.QueryInfoKey(Key, Info)), int(ERROR_SUCCESS));
  QCOMPARE(Info.SubKeys, DWORD(2));
  QCOMPARE(Info.Values, DWORD(9));
  TRegValue Value;
  QCOMPARE(int(Registry.QueryValue(Key, QStringLiteral("missing"), Value)),
           int(ERROR_FILE_NOT_FOUND));
  QCOMPARE(int(Registry.QueryValue(Key, QString(), Value)), int(ERROR_SUCCESS));
  QCOMPARE(Value, TRegValue::String(QStringLiteral("default")));
  Registry.CloseKey(Key);
}

void tst_Registry::handlesOutliveNothing() {
  FakeRegistry Registry(Contents);
  TRegHandle Key = 0;
  QCOMPARE(int(Registry.OpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Kelvane\\Zoo"),
                                KEY_READ, Key)),
           int(ERROR_SUCCESS));
  Registry.Load(QStringLiteral("[-HKEY_LOCAL_MACHINE\\Software\\Kelvane\\Zoo]\n"));
  TRegKeyInfo Info;
  QCOMPARE(int(Registry.QueryInfoKey(Key, Info)), int(ERROR_KEY_DELETED));
  QCOMPARE(int(Registry.CloseKey(Key)), int(ERROR_SUCCESS));
  QCOMPARE(int(Registry.CloseKey(Key)), int(ERROR_INVALID_HANDLE));
  QCOMPARE(int(Registry.QueryInfoKey(TRegHandle(0x1234567), Info)), int(ERROR_INVALID_HANDLE));
  QCOMPARE(int(Registry.CloseKey(HKEY_LOCAL_MACHINE)), int(ERROR_SUCCESS));
}

// Handles opened, read and closed from several threads while the hive grows
// and shrinks under them: every read sees the keys whole.
void tst_Registry::concurrentReaders() {
  FakeRegistry Registry(Contents);
  QString Grow, Shrink;
  for (int I = 0; I < 64; ++I) {
    Grow += QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Kelvane\\Churn%1]\n").arg(I);
    Shrink += QStringLiteral("[-HKEY_LOCAL_MACHINE\\Software\\Kelvane\\Churn%1]\n").arg(I);
  }
  std::atomic<bool> Done{false};
  std::atomic<int> Failures{0};
  std::vector<std::thread> Readers;
  for (int T = 0; T < 3; ++T)
    Readers.emplace_back([&] {
      while (!Done.load()) {
        TRegHandle Key = 0;
        TRegValue Value;
        std::uint32_t Number = 0;
        QString Name;
        if (Registry.OpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Kelvane"), KEY_READ,
                             Key) != ERROR_SUCCESS) {
          ++Failures;
          continue;
        }
        if (Registry.QueryValue(Key, QStringLiteral("Alpha"), Value) != ERROR_SUCCESS ||
            !Value.AsDword(Number) || Number != 5)
          ++Failures;
        for (DWORD I = 0; Registry.EnumKey(Key, I, Name) == ERROR_SUCCESS; ++I)
          if (!Name.startsWith(QStringLiteral("Churn")) && Name != u"Zoo" && Name != u"Ant")
            ++Failures;
        if (Registry.CloseKey(Key) != ERROR_SUCCESS)
          ++Failures;
      }
    });
  for (int I = 0; I < 300; ++I) {
    Registry.Load(Grow);
    Registry.Load(Shrink);
  }
  Done = true;
  for (std::thread& Reader : Readers)
    Reader.join();
  QCOMPARE(Failures.load(), 0);
}

void tst_Registry::typedReads_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("asString");
  QTest::addColumn<QString>("asInteger");
  QTest::newRow("string") << QStringLiteral("Text") << QStringLiteral("  spaced  ")
                          << QStringLiteral("!Invalid data type for 'Text'");
  QTest::newRow("expandable string stays unexpanded")
      << QStringLiteral("Expand") << QStringLiteral("%T%")
      << QStringLiteral("!Invalid data type for 'Expand'");
  QTest::newRow("dword") << QStringLiteral("Alpha")
                         << QStringLiteral("!Invalid data type for 'Alpha'") << QStringLiteral("5");
  QTest::newRow("dword above 2^31")
      << QStringLiteral("negative") << QStringLiteral("!Invalid data type for 'negative'")
      << QStringLiteral("-1");
  QTest::newRow("qword is not an integer")
      << QStringLiteral("Big") << QStringLiteral("!Invalid data type for 'Big'")
      << QStringLiteral("!Invalid data type for 'Big'");
  QTest::newRow("binary") << QStringLiteral("Bin") << QStringLiteral("!Invalid data type for 'Bin'")
                          << QStringLiteral("!Invalid data type for 'Bin'");
  QTest::newRow("missing value") << QStringLiteral("Nope") << QString()
                                 << QStringLiteral("!Failed to get data for 'Nope'");
}

void tst_Registry::typedReads() {
  QFETCH(QString, name);
  QFETCH(QString, asString);
  QFETCH(QString, asInteger);
  FakePlatform Platform(Contents);
  ScopedPlatform Scope(Platform);
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("Software\\Kelvane")));
  auto outcome = [](auto ARead) -> QString {
    try {
      return ARead();
    } catch (const ERegistryException& E) {
      return u'!' + E.Message();
    }
  };
  QCOMPARE(outcome([&] { return Registry.ReadString(name); }), asString);
  QCOMPARE(outcome([&] { return QString::number(Registry.ReadInteger(name)); }), asInteger);
}

void tst_Registry::openingKeys() {
  FakePlatform Platform(Contents);
  ScopedPlatform Scope(Platform);
  TRegistry Registry;
  QCOMPARE(Registry.RootKey(), HKEY_CURRENT_USER);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  // The default access asks for writing, which a read-only hive refuses.
  QVERIFY(!Registry.OpenKey(QStringLiteral("Software\\Kelvane"), false));
  QCOMPARE(Registry.LastError(), DWORD(ERROR_ACCESS_DENIED));
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("Software")));
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("Kelvane")));
  QCOMPARE(Registry.CurrentPath(), QStringLiteral("Software\\Kelvane"));
  QCOMPARE(Registry.GetKeyNames(), (QStringList{QStringLiteral("Zoo"), QStringLiteral("Ant")}));
  QVERIFY(Registry.HasSubKeys());
  QVERIFY(Registry.KeyExists(QStringLiteral("Ant")));
  QVERIFY(!Registry.KeyExists(QStringLiteral("Kelvane")));
  QVERIFY(Registry.KeyExists(QStringLiteral("\\Software\\Kelvane")));
  QCOMPARE(Registry.GetDataType(QStringLiteral("Multi")), DWORD(REG_MULTI_SZ));
  QCOMPARE(Registry.ReadMultiString(QStringLiteral("Multi")),
           (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
  QCOMPARE(Registry.ReadInt64(QStringLiteral("Big")), std::int64_t(0x7fffffffffffffffLL));
  QCOMPARE(Registry.ReadBinaryData(QStringLiteral("Bin")), QByteArray("\xde\xad"));
  QCOMPARE(Registry.GetDataSize(QStringLiteral("Bin")), 2);
  QCOMPARE(Registry.GetDataSize(QStringLiteral("Nope")), -1);
  QVERIFY(Registry.ValueExists(QStringLiteral("ZETA")));
  QVERIFY(!Registry.ValueExists(QStringLiteral("Nope")));
  QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("\\Software\\WOW6432Node\\Kelvane")));
  QCOMPARE(Registry.ReadString(QStringLiteral("View")), QStringLiteral("32"));
  QVERIFY(!Registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Missing")));
  QCOMPARE(Registry.CurrentPath(), QStringLiteral("Software\\WOW6432Node\\Kelvane"));
  Registry.CloseKey();
  QCOMPARE(Registry.CurrentKey(), TRegHandle(0));
}

void tst_Registry::viewFlagsChangeNothing() {
  FakePlatform Platform(Contents);
  ScopedPlatform Scope(Platform);
  for (REGSAM Flag : {REGSAM(0), KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    TRegistry Registry(KEY_READ | Flag);
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    QVERIFY(Registry.OpenKeyReadOnly(QStringLiteral("Software\\Kelvane")));
    QCOMPARE(Registry.ReadString(QStringLiteral("Zeta")), QStringLiteral("last"));
    QVERIFY(Registry.OpenKey(QStringLiteral("\\Software\\Kelvane\\Ant"), false));
  }
}

KELVANE_TEST_MAIN(tst_Registry)
#include "tst_Registry.moc"
