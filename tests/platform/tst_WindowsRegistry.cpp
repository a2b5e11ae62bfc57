// The registry port on the system's registry: keys and values the test
// writes with the system's own calls below the key KelvaneTest of
// HKEY_CURRENT_USER\Software (and, for the registry views and the logging
// configuration, below HKEY_LOCAL_MACHINE\Software), read back through the
// port, and the system's error codes where there is nothing to read.

#include "support/TestMain.h"

#include "common/Exceptions.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/RegistryAccess.h"
#include "platform/fake/FakePlatform.h"
#include "platform/windows/WindowsHelpers.h"
#include "platform/windows/WindowsRegistry.h"

#include <QScopeGuard>
#include <QTest>
#include <QVariant>

#include <set>

namespace {

// The port's numbers for the roots; outside this region the names are the
// system's HKEY macros.
#include "platform/PortNamesBegin.h"
const TRegHandle PortClassesRoot = HKEY_CLASSES_ROOT;
const TRegHandle PortCurrentUser = HKEY_CURRENT_USER;
const TRegHandle PortLocalMachine = HKEY_LOCAL_MACHINE;
const TRegHandle PortUsers = HKEY_USERS;
const TRegHandle PortCurrentConfig = HKEY_CURRENT_CONFIG;
#include "platform/PortNamesEnd.h"

const wchar_t FixturePath[] = L"Software\\KelvaneTest";
const QString FixtureKey = QStringLiteral("Software\\KelvaneTest");
const wchar_t ViewPath[] = L"Software\\KelvaneTestView";
const wchar_t LoggingPath[] = L"Software\\Morvel\\Tesk";

HKEY createKey(HKEY ARoot, const QString& APath, REGSAM AView = 0) {
  HKEY Key = nullptr;
  return ::RegCreateKeyExW(ARoot, wide(APath), 0, nullptr, 0, KEY_ALL_ACCESS | AView, nullptr, &Key,
                           nullptr) == ERROR_SUCCESS
             ? Key
             : nullptr;
}

bool setValue(HKEY AKey, const QString& AName, DWORD AType, const QByteArray& AData) {
  return ::RegSetValueExW(AKey, wide(AName), 0, AType,
                          reinterpret_cast<const BYTE*>(AData.constData()),
                          DWORD(AData.size())) == ERROR_SUCCESS;
}

bool keyExists(HKEY ARoot, const wchar_t* APath) {
  HKEY Key = nullptr;
  if (::RegOpenKeyExW(ARoot, APath, 0, KEY_READ, &Key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(Key);
  return true;
}

// The names an enumeration gives up to the first error, and that error.
template <class TEnum> std::pair<QStringList, LONG> enumerate(TEnum AEnum, DWORD ALimit) {
  QStringList Names;
  for (DWORD Index = 0; Index < ALimit; ++Index) {
    QString Name;
    const LONG Error = AEnum(Index, Name);
    if (Error != ERROR_SUCCESS)
      return {Names, Error};
    Names << Name;
  }
  return {Names, ERROR_SUCCESS};
}

enum THandleKind { hkOpened, hkClosed, hkNoKey };

} // namespace

class tst_WindowsRegistry : public QObject {
  Q_OBJECT

  WindowsRegistry FRegistry;
  HKEY FFixture = nullptr;

private Q_SLOTS:
  void initTestCase() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, FixturePath);
    FFixture = createKey(HKEY_CURRENT_USER, FixtureKey);
    QVERIFY(FFixture);
  }

  void cleanupTestCase() {
    ::RegCloseKey(FFixture);
    QCOMPARE(::RegDeleteTreeW(HKEY_CURRENT_USER, FixturePath), LONG(ERROR_SUCCESS));
  }

  // Every type comes back with the bytes it was stored with, also where
  // they are not what the type's layout asks for.
  void values_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("data");
    const auto row = [](const char* ARow, const QString& AName, const TRegValue& AValue) {
      QTest::newRow(ARow) << AName << uint(AValue.Type) << AValue.Data;
    };
    row("string", QStringLiteral("Text"), TRegValue::String(QStringLiteral("Grüße, Welt")));
    row("expandable string", QStringLiteral("Path"),
        TRegValue::String(QStringLiteral("%TEMP%\\kelvane"), REG_EXPAND_SZ));
    row("a long string", QStringLiteral("Long"),
        TRegValue::String(QString(100000, u'x') + QStringLiteral("end")));
    row("multi-string", QStringLiteral("List"),
        TRegValue::MultiString(
            {QStringLiteral("one"), QStringLiteral("two words"), QStringLiteral("drei")}));
    row("dword", QStringLiteral("Number"), TRegValue::Dword(0xDEADBEEF));
    row("big-endian dword", QStringLiteral("Motorola"),
        TRegValue::Binary(QByteArray("\x12\x34\x56\x78", 4), REG_DWORD_BIG_ENDIAN));
    row("qword", QStringLiteral("Wide"), TRegValue::Qword(0x0123456789ABCDEFull));
    row("binary", QStringLiteral("Bytes"), TRegValue::Binary(QByteArray("\x00\xff\x00\x7f", 4)));
    row("empty binary", QStringLiteral("Nothing"), TRegValue::Binary({}));
    row("no type", QStringLiteral("Untyped"), TRegValue::Binary("\x01\x02\x03", REG_NONE));
    row("resource list", QStringLiteral("Resources"),
        TRegValue::Binary(QByteArray(40, '\x5a'), REG_RESOURCE_LIST));
    row("the key's own value", QString(), TRegValue::String(QStringLiteral("default")));
  }

  void values() {
    QFETCH(QString, name);
    QFETCH(uint, type);
    QFETCH(QByteArray, data);
    QVERIFY(setValue(FFixture, name, type, data));
    TRegHandle Key = 0;
    QCOMPARE(FRegistry.OpenKey(PortCurrentUser, FixtureKey, KEY_READ, Key), LONG(ERROR_SUCCESS));
    const auto Close = qScopeGuard([&] { FRegistry.CloseKey(Key); });
    TRegValue Value;
    QCOMPARE(FRegistry.QueryValue(Key, name, Value), LONG(ERROR_SUCCESS));
    QCOMPARE(uint(Value.Type), type);
    QCOMPARE(Value.Data.size(), data.size());
    QCOMPARE(Value.Data, data);
  }

  // Windows gives such a string back as stored, wine with a NUL added; the
  // text is the same either way.
  void stringWithoutItsNul() {
    const QByteArray Stored("a\0b\0c\0", 6);
    QVERIFY(setValue(FFixture, QStringLiteral("Bare"), REG_SZ, Stored));
    TRegValue Value;
    TRegHandle Key = 0;
    QCOMPARE(FRegistry.OpenKey(PortCurrentUser, FixtureKey, KEY_READ, Key), LONG(ERROR_SUCCESS));
    QCOMPARE(FRegistry.QueryValue(Key, QStringLiteral("Bare"), Value), LONG(ERROR_SUCCESS));
    FRegistry.CloseKey(Key);
    QVERIFY(Value.Data.startsWith(Stored));
    QCOMPARE(Value.AsString(), QStringLiteral("abc"));
  }

  // The registry object the program reads with, over this port.
  void readThroughTheRegistryObject() {
    const HKEY Key = createKey(FFixture, QStringLiteral("Typed"));
    QVERIFY(Key);
    const auto Close = qScopeGuard([Key] { ::RegCloseKey(Key); });
    QVERIFY(setValue(Key, QStringLiteral("Name"), REG_SZ,
                     TRegValue::String(QStringLiteral("Kelvane")).Data));
    QVERIFY(setValue(Key, QStringLiteral("Lines"), REG_MULTI_SZ,
                     TRegValue::MultiString({QStringLiteral("a"), QStringLiteral("b")}).Data));
    QVERIFY(setValue(Key, QStringLiteral("Count"), REG_DWORD, TRegValue::Dword(4228).Data));
    QVERIFY(setValue(Key, QStringLiteral("Large"), REG_QWORD,
                     TRegValue::Qword(std::uint64_t(1) << 40).Data));

    TRegistry Registry(FRegistry, KEY_READ);
    Registry.SetRootKey(PortCurrentUser);
    QVERIFY(Registry.OpenKeyReadOnly(u'\\' + FixtureKey + QStringLiteral("\\Typed")));
    QCOMPARE(Registry.ReadString(QStringLiteral("name")), QStringLiteral("Kelvane"));
    QCOMPARE(Registry.ReadMultiString(QStringLiteral("Lines")),
             QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(Registry.ReadInteger(QStringLiteral("Count")), 4228);
    QCOMPARE(Registry.ReadInt64(QStringLiteral("Large")), std::int64_t(1) << 40);
    QVERIFY(!Registry.ValueExists(QStringLiteral("Missing")));
    QVERIFY_THROWS_EXCEPTION(ERegistryException, Registry.ReadInteger(QStringLiteral("Name")));
  }

  // Every key and value once, the longest names the system allows among
  // them, and ERROR_NO_MORE_ITEMS where the key's counts end. Windows
  // promises no order.
  void enumeration() {
    const QString LongestKey(255, u'k');
    const QString LongestValue(16383, u'v');
    const std::set<QString> Keys = {QStringLiteral("alpha"), QStringLiteral("Beta"),
                                    QStringLiteral("gamma delta"), LongestKey};
    const std::set<QString> Values = {QStringLiteral("one"), QStringLiteral("Two"), LongestValue};
    const HKEY Parent = createKey(FFixture, QStringLiteral("Enumerated"));
    QVERIFY(Parent);
    const auto Close = qScopeGuard([Parent] { ::RegCloseKey(Parent); });
    for (const QString& Name : Keys) {
      const HKEY Child = createKey(Parent, Name);
      QVERIFY2(Child, qPrintable(Name.left(20)));
      ::RegCloseKey(Child);
    }
    for (const QString& Name : Values)
      QVERIFY(setValue(Parent, Name, REG_DWORD, TRegValue::Dword(1).Data));

    TRegHandle Key = 0;
    QCOMPARE(FRegistry.OpenKey(PortCurrentUser, FixtureKey + QStringLiteral("\\Enumerated"),
                               KEY_READ, Key),
             LONG(ERROR_SUCCESS));
    const auto CloseKey = qScopeGuard([&] { FRegistry.CloseKey(Key); });
    TRegKeyInfo Info;
    QCOMPARE(FRegistry.QueryInfoKey(Key, Info), LONG(ERROR_SUCCESS));
    QCOMPARE(Info.SubKeys, DWORD(Keys.size()));
    QCOMPARE(Info.Values, DWORD(Values.size()));

    const auto [KeyNames, KeyEnd] = enumerate(
        [&](DWORD AIndex, QString& AName) { return FRegistry.EnumKey(Key, AIndex, AName); }, 100);
    QCOMPARE(KeyEnd, LONG(ERROR_NO_MORE_ITEMS));
    QCOMPARE(KeyNames.size(), qsizetype(Keys.size()));
    QCOMPARE(std::set<QString>(KeyNames.begin(), KeyNames.end()), Keys);

    const auto [ValueNames, ValueEnd] = enumerate(
        [&](DWORD AIndex, QString& AName) { return FRegistry.EnumValue(Key, AIndex, AName); }, 100);
    QCOMPARE(ValueEnd, LONG(ERROR_NO_MORE_ITEMS));
    QCOMPARE(ValueNames.size(), qsizetype(Values.size()));
    QCOMPARE(std::set<QString>(ValueNames.begin(), ValueNames.end()), Values);

    QString Name;
    QCOMPARE(FRegistry.EnumKey(Key, 1000, Name), LONG(ERROR_NO_MORE_ITEMS));
    QCOMPARE(FRegistry.EnumValue(Key, 1000, Name), LONG(ERROR_NO_MORE_ITEMS));
  }

  // The last-write time is the system's clock in UTC.
  void lastWriteTime() {
    const QDateTime Before = QDateTime::currentDateTimeUtc().addSecs(-2);
    const HKEY Written = createKey(FFixture, QStringLiteral("Stamped"));
    QVERIFY(Written);
    QVERIFY(setValue(Written, QStringLiteral("Now"), REG_DWORD, TRegValue::Dword(1).Data));
    ::RegCloseKey(Written);
    const QDateTime After = QDateTime::currentDateTimeUtc().addSecs(2);

    TRegHandle Key = 0;
    QCOMPARE(
        FRegistry.OpenKey(PortCurrentUser, FixtureKey + QStringLiteral("\\Stamped"), KEY_READ, Key),
        LONG(ERROR_SUCCESS));
    TRegKeyInfo Info;
    QCOMPARE(FRegistry.QueryInfoKey(Key, Info), LONG(ERROR_SUCCESS));
    FRegistry.CloseKey(Key);
    QVERIFY(Info.LastWriteTime.isValid());
    QCOMPARE(Info.LastWriteTime.timeSpec(), Qt::UTC);
    QVERIFY2(Info.LastWriteTime >= Before && Info.LastWriteTime <= After,
             qPrintable(Info.LastWriteTime.toString(Qt::ISODateWithMs)));
  }

  void failures_data() {
    QTest::addColumn<QString>("subKey");
    QTest::addColumn<int>("openError");
    QTest::addColumn<int>("handle");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<int>("queryError");
    QTest::newRow("missing key") << QStringLiteral("Missing\\Deeper") << int(ERROR_FILE_NOT_FOUND)
                                 << int(hkOpened) << QString() << 0;
    QTest::newRow("missing value") << QString() << int(ERROR_SUCCESS) << int(hkOpened)
                                   << QStringLiteral("Missing") << int(ERROR_FILE_NOT_FOUND);
    QTest::newRow("closed key") << QString() << int(ERROR_SUCCESS) << int(hkClosed)
                                << QStringLiteral("Text") << int(ERROR_INVALID_HANDLE);
    QTest::newRow("no key at all") << QString() << int(ERROR_SUCCESS) << int(hkNoKey)
                                   << QStringLiteral("Text") << int(ERROR_INVALID_HANDLE);
  }

  void failures() {
    QFETCH(QString, subKey);
    QFETCH(int, openError);
    QFETCH(int, handle);
    QFETCH(QString, valueName);
    QFETCH(int, queryError);
    QVERIFY(setValue(FFixture, QStringLiteral("Text"), REG_SZ,
                     TRegValue::String(QStringLiteral("x")).Data));
    TRegHandle Key = 0;
    const QString Path = subKey.isEmpty() ? FixtureKey : FixtureKey + u'\\' + subKey;
    QCOMPARE(int(FRegistry.OpenKey(PortCurrentUser, Path, KEY_READ, Key)), openError);
    if (openError != ERROR_SUCCESS)
      return;
    if (handle == hkClosed)
      QCOMPARE(FRegistry.CloseKey(Key), LONG(ERROR_SUCCESS));
    if (handle == hkNoKey) {
      FRegistry.CloseKey(Key);
      Key = 0x1234;
    }
    TRegValue Value;
    QCOMPARE(int(FRegistry.QueryValue(Key, valueName, Value)), queryError);
    TRegKeyInfo Info;
    if (handle != hkOpened)
      QCOMPARE(int(FRegistry.QueryInfoKey(Key, Info)), int(ERROR_INVALID_HANDLE));
    else
      FRegistry.CloseKey(Key);
  }

  // The port's numbers reach the system's roots: each sees the keys the
  // system's own handle for that root sees.
  void predefinedRoots_data() {
    QTest::addColumn<quintptr>("portRoot");
    QTest::addColumn<quintptr>("systemRoot");
    const auto row = [](const char* AName, TRegHandle APort, HKEY ASystem) {
      QTest::newRow(AName) << quintptr(APort) << reinterpret_cast<quintptr>(ASystem);
    };
    row("HKEY_CLASSES_ROOT", PortClassesRoot, HKEY_CLASSES_ROOT);
    row("HKEY_CURRENT_USER", PortCurrentUser, HKEY_CURRENT_USER);
    row("HKEY_LOCAL_MACHINE", PortLocalMachine, HKEY_LOCAL_MACHINE);
    row("HKEY_USERS", PortUsers, HKEY_USERS);
    row("HKEY_CURRENT_CONFIG", PortCurrentConfig, HKEY_CURRENT_CONFIG);
  }

  void predefinedRoots() {
    QFETCH(quintptr, portRoot);
    QFETCH(quintptr, systemRoot);
    DWORD SubKeys = 0, Values = 0;
    QCOMPARE(::RegQueryInfoKeyW(reinterpret_cast<HKEY>(systemRoot), nullptr, nullptr, nullptr,
                                &SubKeys, nullptr, nullptr, &Values, nullptr, nullptr, nullptr,
                                nullptr),
             LONG(ERROR_SUCCESS));
    TRegKeyInfo Info;
    QCOMPARE(FRegistry.QueryInfoKey(portRoot, Info), LONG(ERROR_SUCCESS));
    QCOMPARE(Info.SubKeys, SubKeys);
    QCOMPARE(Info.Values, Values);
    // An empty path opens the root itself again.
    TRegHandle Again = 0;
    QCOMPARE(FRegistry.OpenKey(portRoot, QString(), KEY_READ, Again), LONG(ERROR_SUCCESS));
    QCOMPARE(FRegistry.QueryInfoKey(Again, Info), LONG(ERROR_SUCCESS));
    QCOMPARE(Info.SubKeys, SubKeys);
    QCOMPARE(FRegistry.CloseKey(Again), LONG(ERROR_SUCCESS));
  }

  // A 64-bit process sees the 64-bit view unless the mask asks for the
  // 32-bit one, where HKEY_LOCAL_MACHINE\Software differs.
  void registryViews_data() {
    QTest::addColumn<uint>("view");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no flag") << 0u << QStringLiteral("64-bit");
    QTest::newRow("KEY_WOW64_64KEY") << uint(KEY_WOW64_64KEY) << QStringLiteral("64-bit");
    QTest::newRow("KEY_WOW64_32KEY") << uint(KEY_WOW64_32KEY) << QStringLiteral("32-bit");
  }

  void registryViews() {
    QFETCH(uint, view);
    QFETCH(QString, expected);
    const auto Remove = qScopeGuard([] {
      for (const REGSAM View : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, ViewPath, View, 0);
    });
    for (const REGSAM View : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      const HKEY InView = createKey(HKEY_LOCAL_MACHINE, QString::fromWCharArray(ViewPath), View);
      QVERIFY(InView);
      QVERIFY(setValue(InView, QStringLiteral("View"), REG_SZ,
                       TRegValue::String(View == KEY_WOW64_64KEY ? QStringLiteral("64-bit")
                                                                 : QStringLiteral("32-bit"))
                           .Data));
      ::RegCloseKey(InView);
    }
    TRegHandle Key = 0;
    QCOMPARE(FRegistry.OpenKey(PortLocalMachine, QString::fromWCharArray(ViewPath), KEY_READ | view,
                               Key),
             LONG(ERROR_SUCCESS));
    TRegValue Value;
    QCOMPARE(FRegistry.QueryValue(Key, QStringLiteral("View"), Value), LONG(ERROR_SUCCESS));
    FRegistry.CloseKey(Key);
    QCOMPARE(Value.AsString(), expected);
  }

  // The logging configuration comes from the machine's registry at start:
  // the switch, the level and the viewer's address as the test wrote them,
  // and a switch of the wrong type read as absent.
  void loggingConfiguration_data() {
    QTest::addColumn<QVariant>("debugEnabled");
    QTest::addColumn<QVariant>("activeLevel");
    QTest::addColumn<QString>("viewer");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("connections");
    QTest::addColumn<bool>("disabled");
    const QString Pipe = QStringLiteral("pipe(reconnect=\"true\")");
    QTest::newRow("on, with a viewer")
        << QVariant(1u) << QVariant(0u) << QStringLiteral(" 127.0.0.1:4228 ")
        << int(TLogLevel::Debug)
        << QStringLiteral("tcp(host=\"127.0.0.1\", port=\"4228\", reconnect=\"true\"), ") + Pipe
        << false;
    QTest::newRow("on, nothing else")
        << QVariant(1u) << QVariant() << QString() << int(TLogLevel::Verbose) << Pipe << false;
    QTest::newRow("switch written as text")
        << QVariant(QStringLiteral("1")) << QVariant(0u) << QStringLiteral("127.0.0.1:4228")
        << int(TLogLevel::Message) << QString() << false;
    QTest::newRow("off") << QVariant(2u) << QVariant() << QString() << int(TLogLevel::Debug)
                         << QString() << true;
  }

  void loggingConfiguration() {
    QFETCH(QVariant, debugEnabled);
    QFETCH(QVariant, activeLevel);
    QFETCH(QString, viewer);
    QFETCH(int, level);
    QFETCH(QString, connections);
    QFETCH(bool, disabled);
    if (keyExists(HKEY_LOCAL_MACHINE, L"Software\\Morvel"))
      QSKIP("this machine has a logging configuration of its own; it is left alone");
    const auto Restore = qScopeGuard([] {
      ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Morvel");
      FakePlatform Empty;
      ScopedPlatform Scope(Empty);
      InitializeMorvelDebug();
    });
    const HKEY Key = createKey(HKEY_LOCAL_MACHINE, QString::fromWCharArray(LoggingPath));
    QVERIFY(Key);
    const auto write = [Key](const QString& AName, const QVariant& AValue) {
      if (AValue.typeId() == QMetaType::UInt)
        return setValue(Key, AName, REG_DWORD, TRegValue::Dword(AValue.toUInt()).Data);
      return !AValue.isValid() ||
             setValue(Key, AName, REG_SZ, TRegValue::String(AValue.toString()).Data);
    };
    QVERIFY(write(QStringLiteral("DebugEnabled"), debugEnabled));
    QVERIFY(write(QStringLiteral("ActiveLevel"), activeLevel));
    QVERIFY(write(QStringLiteral("DirectDebugTCP"), viewer.isEmpty() ? QVariant() : viewer));
    ::RegCloseKey(Key);

    // No platform installed: the program's own, the Windows one.
    InitializeMorvelDebug(QStringLiteral("kelvane.exe"));
    QVERIFY(MorvelLogEngine());
    QCOMPARE(MorvelDebugDisabled(), disabled);
    if (!disabled) {
      QCOMPARE(int(MorvelLogEngine()->Level()), level);
      QCOMPARE(MorvelLogEngine()->Connections(), connections);
    }
  }
};

KELVANE_TEST_MAIN(tst_WindowsRegistry)
#include "tst_WindowsRegistry.moc"
