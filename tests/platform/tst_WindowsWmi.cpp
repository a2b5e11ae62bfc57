// The management-instrumentation port over COM: what each VARIANT WMI can
// hand over becomes in the port (built here with the OLE API), and the live
// service: queries, errors, limits, and COM left on each thread as it was
// found.
//
// Under wine 8.0 (measured): a network namespace with loopback only gives no
// Win32_NetworkAdapterConfiguration instance at all (wine leaves loopback
// out), so ctest runs this program with a veth pair (with-veth-pair.sh);
// there each link gives 13 properties, IPv6 addresses first and with their
// "%zone" suffix, MAC addresses in lower case. Unknown classes answer empty
// where Windows raises WBEM_E_INVALID_CLASS; Win32_PingStatus and Meta_Class
// answer empty; 64-bit and unsigned numbers come as VT_UI8/VT_UI4 where
// Windows sends decimal text and VT_I4.

#include "support/TestMain.h"

#include "platform/windows/WindowsWmi.h"
#include "platform/windows/WindowsWmiValues.h"

#include <iphlpapi.h>

#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

using TMakeVariant = std::function<void(VARIANT&)>;
Q_DECLARE_METATYPE(TMakeVariant)
Q_DECLARE_METATYPE(WindowsWmi::TLimits)

namespace {

// ---- VARIANTs built as WMI builds them ------------------------------------

TMakeVariant typeOnly(VARTYPE AType) {
  return [AType](VARIANT& V) { V_VT(&V) = AType; };
}

TMakeVariant text(const QString& AText) {
  return [AText](VARIANT& V) {
    V_VT(&V) = VT_BSTR;
    V_BSTR(&V) =
        ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(AText.utf16()), UINT(AText.size()));
  };
}

TMakeVariant nullText() {
  return [](VARIANT& V) {
    V_VT(&V) = VT_BSTR;
    V_BSTR(&V) = nullptr;
  };
}

template <class T> TMakeVariant number(VARTYPE AType, T AValue) {
  return [AType, AValue](VARIANT& V) {
    V_VT(&V) = AType;
    std::memcpy(&V_UI1(&V), &AValue, sizeof AValue);
  };
}

TMakeVariant truth(bool AValue) {
  return [AValue](VARIANT& V) {
    V_VT(&V) = VT_BOOL;
    V_BOOL(&V) = AValue ? VARIANT_TRUE : VARIANT_FALSE;
  };
}

// A one-dimensional array of AType filled by AFill (element index, VARIANT
// holding the element), the element put in with SafeArrayPutElement.
TMakeVariant array(VARTYPE AType, LONG ACount, std::function<void(LONG, VARIANT&)> AFill) {
  return [=](VARIANT& V) {
    SAFEARRAY* Array = ::SafeArrayCreateVector(AType, 0, ULONG(ACount));
    for (LONG I = 0; I < ACount; ++I) {
      TVariant Holder;
      VARIANT& Item = *Holder.Put();
      AFill(I, Item);
      void* Element = AType == VT_VARIANT ? static_cast<void*>(&Item)
                      : AType == VT_BSTR  ? static_cast<void*>(V_BSTR(&Item))
                                          : static_cast<void*>(&V_UI1(&Item));
      ::SafeArrayPutElement(Array, &I, Element);
    }
    V_VT(&V) = VARTYPE(VT_ARRAY | AType);
    V_ARRAY(&V) = Array;
  };
}

TMakeVariant texts(const QStringList& ATexts) {
  return array(VT_BSTR, LONG(ATexts.size()), [ATexts](LONG I, VARIANT& V) { text(ATexts[I])(V); });
}

TMakeVariant integers(const std::vector<LONG>& AValues) {
  return array(VT_I4, LONG(AValues.size()),
               [AValues](LONG I, VARIANT& V) { number(VT_I4, AValues[std::size_t(I)])(V); });
}

// The type and the text of a value (and of each element of a list), so that
// a comparison sees a uint32 where an int32 was due.
QString describe(const QVariant& AValue) {
  if (!AValue.isValid())
    return QStringLiteral("invalid");
  if (AValue.metaType().id() == QMetaType::QVariantList) {
    QStringList Items;
    for (const QVariant& Item : AValue.toList())
      Items << describe(Item);
    return QStringLiteral("list[%1]").arg(Items.join(QLatin1String(", ")));
  }
  return QStringLiteral("%1 %2").arg(QLatin1String(AValue.typeName()), AValue.toString());
}

// ---- the live service ------------------------------------------------------

const QString Cimv2 = QStringLiteral("root\\CIMV2");

bool underWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::vector<TWmiObject> query(const QString& AQuery, const WindowsWmi::TLimits& ALimits = {}) {
  WindowsWmi Wmi(ALimits);
  return Wmi.ConnectServer(QString(), Cimv2, {}, {})->ExecQuery(AQuery, QStringLiteral("WQL"), 0);
}

struct TAdapter {
  QString Description;
  QString Mac;
  QStringList Ipv4;
  int AddressCount = 0;
};

// What the IP Helper lists, loopback left out as WMI leaves it out.
std::vector<TAdapter> ipHelperAdapters() {
  std::vector<TAdapter> Result;
  ULONG Size = 16384;
  std::vector<unsigned char> Buffer;
  ULONG Status = ERROR_BUFFER_OVERFLOW;
  for (int Try = 0; Try < 4 && Status == ERROR_BUFFER_OVERFLOW; ++Try) {
    Buffer.resize(Size);
    Status = ::GetAdaptersAddresses(AF_UNSPEC, 0, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(Buffer.data()), &Size);
  }
  if (Status != ERROR_SUCCESS)
    return Result;
  for (auto* A = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(Buffer.data()); A; A = A->Next) {
    if (A->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
      continue;
    TAdapter Adapter;
    Adapter.Description = QString::fromWCharArray(A->Description);
    QStringList Bytes;
    for (ULONG I = 0; I < A->PhysicalAddressLength; ++I)
      Bytes << QStringLiteral("%1").arg(A->PhysicalAddress[I], 2, 16, QLatin1Char('0'));
    Adapter.Mac = Bytes.join(u':').toUpper();
    for (auto* U = A->FirstUnicastAddress; U; U = U->Next) {
      ++Adapter.AddressCount;
      if (U->Address.lpSockaddr->sa_family == AF_INET) {
        const auto* In = reinterpret_cast<const sockaddr_in*>(U->Address.lpSockaddr);
        const auto* B = reinterpret_cast<const unsigned char*>(&In->sin_addr);
        Adapter.Ipv4 << QStringLiteral("%1.%2.%3.%4").arg(B[0]).arg(B[1]).arg(B[2]).arg(B[3]);
      }
    }
    Result.push_back(Adapter);
  }
  return Result;
}

// Connects, runs two queries, lets go; what a report does per scan.
bool useWmiTwice() {
  try {
    WindowsWmi Wmi;
    auto Services = Wmi.ConnectServer(QStringLiteral("localhost"), Cimv2, {}, {});
    const QString Query = QStringLiteral("SELECT * FROM Win32_OperatingSystem");
    return Services->ExecQuery(Query, QStringLiteral("WQL"), 0).size() == 1 &&
           Services->ExecQuery(Query, QStringLiteral("WQL"), 0).size() == 1;
  } catch (const EOleException&) {
    return false;
  }
}

enum TCallerCom { NoCom, CallerSta, CallerMta };

} // namespace

class tst_WindowsWmi : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void values_data();
  void values();
  void unsupportedValues_data();
  void unsupportedValues();
  void unsupportedPropertyLeftOut();
  void adapters();
  void projection();
  void typedProperties_data();
  void typedProperties();
  void errors_data();
  void errors();
  void answeredEmptyUnderWine_data();
  void answeredEmptyUnderWine();
  void limits_data();
  void limits();
  void comBalanced_data();
  void comBalanced();
  void otherThreadRefused();
};

void tst_WindowsWmi::values_data() {
  QTest::addColumn<TMakeVariant>("make");
  QTest::addColumn<int>("cimType");
  QTest::addColumn<QVariant>("expected");
  const int Array = CIM_FLAG_ARRAY;
  QTest::newRow("null") << typeOnly(VT_NULL) << int(CIM_STRING) << QVariant();
  QTest::newRow("empty") << typeOnly(VT_EMPTY) << int(CIM_UINT32) << QVariant();
  QTest::newRow("text, not ASCII")
      << text(QStringLiteral("Carte réseau Ünïcode ✓ 網路 \U0001F310")) << int(CIM_STRING)
      << QVariant(QStringLiteral("Carte réseau Ünïcode ✓ 網路 \U0001F310"));
  QTest::newRow("text with a NUL inside")
      << text(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << int(CIM_STRING)
      << QVariant(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
  QTest::newRow("empty BSTR") << text(QString()) << int(CIM_STRING) << QVariant(QString(""));
  QTest::newRow("null BSTR") << nullText() << int(CIM_STRING) << QVariant(QString(""));
  QTest::newRow("true") << truth(true) << int(CIM_BOOLEAN) << QVariant(true);
  QTest::newRow("false") << truth(false) << int(CIM_BOOLEAN) << QVariant(false);
  QTest::newRow("uint32 above 2^31 as VT_I4")
      << number(VT_I4, LONG(-1)) << int(CIM_UINT32) << QVariant::fromValue(quint32(4294967295u));
  QTest::newRow("sint32") << number(VT_I4, LONG(-5)) << int(CIM_SINT32)
                          << QVariant::fromValue(qint32(-5));
  QTest::newRow("uint16 as VT_I4")
      << number(VT_I4, LONG(65535)) << int(CIM_UINT16) << QVariant::fromValue(quint16(65535));
  QTest::newRow("sint16") << number(VT_I2, SHORT(-300)) << int(CIM_SINT16)
                          << QVariant::fromValue(qint16(-300));
  QTest::newRow("sint8 as VT_I2, a number not a character")
      << number(VT_I2, SHORT(-128)) << int(CIM_SINT8) << QVariant::fromValue(qint16(-128));
  QTest::newRow("uint8, a number not a character")
      << number(VT_UI1, BYTE(200)) << int(CIM_UINT8) << QVariant::fromValue(quint16(200));
  QTest::newRow("uint32 as VT_UI4 (wine)") << number(VT_UI4, ULONG(4000000000u)) << int(CIM_UINT32)
                                           << QVariant::fromValue(quint32(4000000000u));
  QTest::newRow("uint64 as text") << text(QStringLiteral("18446744073709551615")) << int(CIM_UINT64)
                                  << QVariant::fromValue(quint64(18446744073709551615ull));
  QTest::newRow("sint64 as text") << text(QStringLiteral("-9223372036854775808")) << int(CIM_SINT64)
                                  << QVariant::fromValue(qint64(-9223372036854775807ll - 1));
  QTest::newRow("uint64 as VT_UI8 (wine)") << number(VT_UI8, ULONGLONG(23215560)) << int(CIM_UINT64)
                                           << QVariant::fromValue(quint64(23215560));
  QTest::newRow("real32") << number(VT_R4, 1.5f) << int(CIM_REAL32) << QVariant::fromValue(1.5f);
  QTest::newRow("real64") << number(VT_R8, -0.25) << int(CIM_REAL64) << QVariant(-0.25);
  QTest::newRow("datetime stays DMTF text")
      << text(QStringLiteral("20231010123456.000000+060")) << int(CIM_DATETIME)
      << QVariant(QStringLiteral("20231010123456.000000+060"));
  QTest::newRow("string array") << texts({QStringLiteral("192.168.1.5"), QStringLiteral("fe80::1"),
                                          QString()})
                                << int(CIM_STRING | Array)
                                << QVariant(QVariantList{QStringLiteral("192.168.1.5"),
                                                         QStringLiteral("fe80::1"), QString("")});
  QTest::newRow("uint16 array as VT_I4")
      << integers({1, 65535}) << int(CIM_UINT16 | Array)
      << QVariant(
             QVariantList{QVariant::fromValue(quint16(1)), QVariant::fromValue(quint16(65535))});
  QTest::newRow("uint32 array as VT_I4")
      << integers({-2, 7}) << int(CIM_UINT32 | Array)
      << QVariant(QVariantList{QVariant::fromValue(quint32(4294967294u)),
                               QVariant::fromValue(quint32(7))});
  QTest::newRow("uint64 array as text")
      << texts({QStringLiteral("0"), QStringLiteral("18446744073709551615")})
      << int(CIM_UINT64 | Array)
      << QVariant(QVariantList{QVariant::fromValue(quint64(0)),
                               QVariant::fromValue(quint64(18446744073709551615ull))});
  QTest::newRow("boolean array") << array(VT_BOOL, 2, [](LONG I, VARIANT& V) { truth(I == 0)(V); })
                                 << int(CIM_BOOLEAN | Array) << QVariant(QVariantList{true, false});
  QTest::newRow("empty array") << texts({}) << int(CIM_STRING | Array) << QVariant(QVariantList{});
  QTest::newRow("array of VARIANTs, a null among them")
      << array(VT_VARIANT, 2,
               [](LONG I, VARIANT& V) {
                 if (I == 0)
                   text(QStringLiteral("x"))(V);
                 else
                   typeOnly(VT_NULL)(V);
               })
      << int(CIM_STRING | Array) << QVariant(QVariantList{QStringLiteral("x"), QVariant()});
}

void tst_WindowsWmi::values() {
  QFETCH(TMakeVariant, make);
  QFETCH(int, cimType);
  QFETCH(QVariant, expected);
  TVariant Value;
  make(*Value.Put());
  QCOMPARE(describe(WmiValue(Value.Get(), cimType)), describe(expected));
}

void tst_WindowsWmi::unsupportedValues_data() {
  QTest::addColumn<TMakeVariant>("make");
  QTest::addColumn<int>("cimType");
  QTest::addColumn<int>("error");
  QTest::newRow("embedded object")
      << typeOnly(VT_UNKNOWN) << int(CIM_OBJECT) << int(DISP_E_BADVARTYPE);
  QTest::newRow("currency") << number(VT_CY, LONGLONG(10000)) << int(CIM_REAL64)
                            << int(DISP_E_BADVARTYPE);
  static LONG Referenced = 5;
  QTest::newRow("by reference") << number(VARTYPE(VT_BYREF | VT_I4), &Referenced) << int(CIM_SINT32)
                                << int(DISP_E_BADVARTYPE);
  QTest::newRow("two-dimensional array") << TMakeVariant([](VARIANT& V) {
    SAFEARRAYBOUND Bounds[2] = {{2, 0}, {2, 0}};
    V_VT(&V) = VT_ARRAY | VT_I4;
    V_ARRAY(&V) = ::SafeArrayCreate(VT_I4, 2, Bounds);
  }) << int(CIM_SINT32 | CIM_FLAG_ARRAY) << int(DISP_E_BADVARTYPE);
  QTest::newRow("array inside an array")
      << array(VT_VARIANT, 1, [](LONG, VARIANT& V) { integers({1})(V); })
      << int(CIM_SINT32 | CIM_FLAG_ARRAY) << int(DISP_E_BADVARTYPE);
  QTest::newRow("uint64 text that is no number")
      << text(QStringLiteral("12abc")) << int(CIM_UINT64) << int(DISP_E_TYPEMISMATCH);
  QTest::newRow("negative uint64")
      << text(QStringLiteral("-1")) << int(CIM_UINT64) << int(DISP_E_TYPEMISMATCH);
  QTest::newRow("sint64 out of range")
      << text(QStringLiteral("9223372036854775808")) << int(CIM_SINT64) << int(DISP_E_TYPEMISMATCH);
  QTest::newRow("empty uint64 text")
      << text(QString()) << int(CIM_UINT64) << int(DISP_E_TYPEMISMATCH);
}

void tst_WindowsWmi::unsupportedValues() {
  QFETCH(TMakeVariant, make);
  QFETCH(int, cimType);
  QFETCH(int, error);
  TVariant Value;
  make(*Value.Put());
  try {
    const QVariant Result = WmiValue(Value.Get(), cimType);
    QFAIL(qPrintable(QStringLiteral("no error, but ") + describe(Result)));
  } catch (const EOleException& E) {
    QCOMPARE(E.ErrorCode(), error);
    QVERIFY(!E.Message().isEmpty());
  }
}

// One property WMI hands over in a form the port has no value for must not
// cost the object its other properties.
void tst_WindowsWmi::unsupportedPropertyLeftOut() {
  TWmiObject Object(QStringLiteral("Win32_Test"));
  TVariant Name, Null, Embedded;
  text(QStringLiteral("eth0"))(*Name.Put());
  typeOnly(VT_NULL)(*Null.Put());
  typeOnly(VT_UNKNOWN)(*Embedded.Put());
  QVERIFY(AddWmiProperty(Object, QStringLiteral("Description"), Name.Get(), CIM_STRING));
  QVERIFY(!AddWmiProperty(Object, QStringLiteral("Setting"), Embedded.Get(), CIM_OBJECT));
  QVERIFY(AddWmiProperty(Object, QStringLiteral("DNSDomain"), Null.Get(), CIM_STRING));
  QCOMPARE(int(Object.Properties().size()), 2);
  QCOMPARE(Object.Value(QStringLiteral("description")), QVariant(QStringLiteral("eth0")));
  QVERIFY(!Object.Property(QStringLiteral("Setting")));
  const TWmiProperty* Domain = Object.Property(QStringLiteral("DNSDomain"));
  QVERIFY(Domain);
  QVERIFY(!Domain->Value.isValid());
  QCOMPARE(Domain->CimType, int(CimTypes::wbemCimtypeString));
}

// Every adapter the IP Helper lists, and only those, with the same hardware
// address, description and addresses, the values typed as callers read them.
void tst_WindowsWmi::adapters() {
  const std::vector<TWmiObject> Objects =
      query(QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration"));
  const std::vector<TAdapter> Adapters = ipHelperAdapters();
  QCOMPARE(Objects.size(), Adapters.size());
  if (Objects.empty())
    QSKIP("only loopback here, which WMI leaves out; ctest runs this with a veth pair");
  for (const TWmiObject& Object : Objects) {
    QCOMPARE(Object.ClassName(), QStringLiteral("Win32_NetworkAdapterConfiguration"));
    const QString Mac = Object.Value(QStringLiteral("MACAddress")).toString().toUpper();
    const auto Adapter = std::find_if(Adapters.begin(), Adapters.end(),
                                      [&](const TAdapter& A) { return A.Mac == Mac; });
    QVERIFY2(Adapter != Adapters.end(), qPrintable(Mac));
    QCOMPARE(Object.Value(QStringLiteral("Description")), QVariant(Adapter->Description));
    QCOMPARE(Object.Value(QStringLiteral("Index")).metaType(), QMetaType::fromType<quint32>());
    QCOMPARE(Object.Property(QStringLiteral("Index"))->CimType, int(CimTypes::wbemCimtypeUint32));
    QCOMPARE(Object.Value(QStringLiteral("IPEnabled")), QVariant(true));
    const TWmiProperty* Addresses = Object.Property(QStringLiteral("IPAddress"));
    QVERIFY(Addresses);
    QCOMPARE(Addresses->CimType, int(CimTypes::wbemCimtypeString | wbemCimtypeArrayFlag));
    QCOMPARE(Addresses->Value.metaType(), QMetaType::fromType<QVariantList>());
    const QStringList Texts = Addresses->Value.toStringList();
    QCOMPARE(Texts.size(), Adapter->AddressCount);
    for (const QString& Ipv4 : Adapter->Ipv4)
      QVERIFY2(Texts.contains(Ipv4), qPrintable(Ipv4 + QStringLiteral(" in ") + Texts.join(u' ')));
    QCOMPARE(Object.Value(QStringLiteral("IPSubnet")).toList().size(), Texts.size());
  }
}

void tst_WindowsWmi::projection() {
  const std::vector<TWmiObject> All =
      query(QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration"));
  const std::vector<TWmiObject> Enabled =
      query(QStringLiteral("SELECT Description, MACAddress FROM Win32_NetworkAdapterConfiguration "
                           "WHERE IPEnabled = True"));
  const auto EnabledCount = std::count_if(All.begin(), All.end(), [](const TWmiObject& O) {
    return O.Value(QStringLiteral("IPEnabled")).toBool();
  });
  QCOMPARE(qsizetype(Enabled.size()), qsizetype(EnabledCount));
  for (const TWmiObject& Object : Enabled) {
    QStringList Names;
    for (const TWmiProperty& Property : Object.Properties())
      Names << Property.Name;
    Names.sort(Qt::CaseInsensitive);
    QCOMPARE(Names, (QStringList{QStringLiteral("Description"), QStringLiteral("MACAddress")}));
    QCOMPARE(Object.Value(QStringLiteral("Description")).metaType(),
             QMetaType::fromType<QString>());
  }
}

// Numbers of each width as WMI types them, datetimes as its text.
void tst_WindowsWmi::typedProperties_data() {
  QTest::addColumn<QString>("property");
  QTest::addColumn<int>("cimType");
  QTest::addColumn<QMetaType>("type");
  QTest::newRow("uint64") << QStringLiteral("FreePhysicalMemory")
                          << int(CimTypes::wbemCimtypeUint64) << QMetaType::fromType<quint64>();
  QTest::newRow("uint32") << QStringLiteral("OSLanguage") << int(CimTypes::wbemCimtypeUint32)
                          << QMetaType::fromType<quint32>();
  QTest::newRow("uint16") << QStringLiteral("OSType") << int(CimTypes::wbemCimtypeUint16)
                          << QMetaType::fromType<quint16>();
  QTest::newRow("sint16") << QStringLiteral("CurrentTimeZone") << int(CimTypes::wbemCimtypeSint16)
                          << QMetaType::fromType<qint16>();
  QTest::newRow("boolean") << QStringLiteral("Primary") << int(CimTypes::wbemCimtypeBoolean)
                           << QMetaType::fromType<bool>();
  QTest::newRow("datetime") << QStringLiteral("LastBootUpTime")
                            << int(CimTypes::wbemCimtypeDatetime) << QMetaType::fromType<QString>();
}

void tst_WindowsWmi::typedProperties() {
  QFETCH(QString, property);
  QFETCH(int, cimType);
  QFETCH(QMetaType, type);
  const std::vector<TWmiObject> Systems =
      query(QStringLiteral("SELECT * FROM Win32_OperatingSystem"));
  QCOMPARE(int(Systems.size()), 1);
  const TWmiProperty* Property = Systems.front().Property(property);
  QVERIFY(Property);
  QCOMPARE(Property->CimType, cimType);
  QCOMPARE(Property->Value.metaType(), type);
  if (cimType == CimTypes::wbemCimtypeDatetime)
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{14}\\.\\d{6}[+-]\\d{3}$"))
                 .match(Property->Value.toString())
                 .hasMatch(),
             qPrintable(Property->Value.toString()));
}

void tst_WindowsWmi::errors_data() {
  QTest::addColumn<QString>("server");
  QTest::addColumn<QString>("nameSpace");
  QTest::addColumn<QString>("query");
  QTest::addColumn<QString>("language");
  QTest::addColumn<int>("error");     // 0: one object
  QTest::addColumn<int>("wineError"); // where wine answers otherwise
  const QString Os = QStringLiteral("SELECT * FROM Win32_OperatingSystem");
  const QString Wql = QStringLiteral("WQL");
  QTest::newRow("invalid query") << QString() << Cimv2 << QStringLiteral("SELEC * FROM X") << Wql
                                 << int(WbemStatus::WBEM_E_INVALID_QUERY)
                                 << int(WbemStatus::WBEM_E_INVALID_QUERY);
  QTest::newRow("unknown class (wine: no object)")
      << QString() << Cimv2 << QStringLiteral("SELECT * FROM Win32_Nothing") << Wql
      << int(WbemStatus::WBEM_E_INVALID_CLASS) << -1;
  QTest::newRow("unknown namespace")
      << QString() << QStringLiteral("root\\Nothing") << Os << Wql
      << int(WbemStatus::WBEM_E_INVALID_NAMESPACE) << int(WbemStatus::WBEM_E_INVALID_NAMESPACE);
  QTest::newRow("other language") << QString() << Cimv2 << Os << QStringLiteral("SQL")
                                  << int(WbemStatus::WBEM_E_INVALID_QUERY_TYPE)
                                  << int(WbemStatus::WBEM_E_INVALID_QUERY_TYPE);
  QTest::newRow("dot, namespace in another case")
      << QStringLiteral(".") << QStringLiteral("ROOT\\cimv2") << Os << Wql << 0 << 0;
  QTest::newRow("localhost") << QStringLiteral("LocalHost") << Cimv2 << Os << Wql << 0 << 0;
}

void tst_WindowsWmi::errors() {
  QFETCH(QString, server);
  QFETCH(QString, nameSpace);
  QFETCH(QString, query);
  QFETCH(QString, language);
  QFETCH(int, error);
  QFETCH(int, wineError);
  // -1: an empty answer.
  const int Expected = underWine() ? wineError : error;
  WindowsWmi Wmi;
  try {
    const auto Objects =
        Wmi.ConnectServer(server, nameSpace, {}, {})->ExecQuery(query, language, 0);
    QVERIFY2(Expected <= 0, "no error raised");
    QCOMPARE(int(Objects.size()), Expected == -1 ? 0 : 1);
  } catch (const EOleException& E) {
    QCOMPARE(quint32(E.ErrorCode()), quint32(Expected));
    QVERIFY(!E.Message().isEmpty());
    QVERIFY(!E.Source().isEmpty());
  }
}

// Wine implements neither class: both answer with no object and S_OK, so
// the ping reads as "no answer" and the report finds no properties there.
// On Windows each answers one object.
void tst_WindowsWmi::answeredEmptyUnderWine_data() {
  QTest::addColumn<QString>("query");
  QTest::addColumn<QString>("property");
  QTest::newRow("ping") << QStringLiteral(
                               "SELECT * FROM Win32_PingStatus where Address='127.0.0.1' AND "
                               "BufferSize=32 AND Timeout=1000 AND TimeToLive=128")
                        << QStringLiteral("StatusCode");
  QTest::newRow("class definition") << QStringLiteral("SELECT * from Meta_Class Where __CLASS = "
                                                      "\"Win32_NetworkAdapterConfiguration\"")
                                    << QStringLiteral("MACAddress");
}

void tst_WindowsWmi::answeredEmptyUnderWine() {
  QFETCH(QString, query);
  QFETCH(QString, property);
  const std::vector<TWmiObject> Objects = ::query(query);
  if (underWine()) {
    QCOMPARE(int(Objects.size()), 0);
    return;
  }
  QCOMPARE(int(Objects.size()), 1);
  QVERIFY(Objects.front().Property(property));
}

void tst_WindowsWmi::limits_data() {
  QTest::addColumn<WindowsWmi::TLimits>("limits");
  QTest::addColumn<int>("error");
  WindowsWmi::TLimits NoObject;
  NoObject.MaxObjects = 0;
  QTest::newRow("more objects than allowed") << NoObject << int(HRESULT(WBEM_E_QUOTA_VIOLATION));
  WindowsWmi::TLimits FewProperties;
  FewProperties.MaxProperties = 3;
  QTest::newRow("more properties than allowed")
      << FewProperties << int(HRESULT(WBEM_E_QUOTA_VIOLATION));
  WindowsWmi::TLimits NoTime;
  NoTime.Total = std::chrono::milliseconds(0);
  QTest::newRow("no time left") << NoTime << int(HRESULT(WBEM_E_TIMED_OUT));
  QTest::newRow("defaults") << WindowsWmi::TLimits() << 0;
}

void tst_WindowsWmi::limits() {
  QFETCH(WindowsWmi::TLimits, limits);
  QFETCH(int, error);
  try {
    QCOMPARE(int(query(QStringLiteral("SELECT * FROM Win32_OperatingSystem"), limits).size()), 1);
    QCOMPARE(error, 0);
  } catch (const EOleException& E) {
    QCOMPARE(E.ErrorCode(), error);
  }
}

// Each thread gets COM back as it had it: initialised by the caller in
// either model, or not at all. CoInitializeEx answers S_FALSE while the
// thread still holds an initialisation, S_OK once every one was undone.
void tst_WindowsWmi::comBalanced_data() {
  QTest::addColumn<int>("callerCom");
  QTest::newRow("thread without COM") << int(NoCom);
  QTest::newRow("caller's single-threaded apartment") << int(CallerSta);
  QTest::newRow("caller's multithreaded apartment") << int(CallerMta);
}

void tst_WindowsWmi::comBalanced() {
  QFETCH(int, callerCom);
  const DWORD Model = callerCom == CallerMta ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED;
  bool Used = true;
  HRESULT CallerInit = S_OK, StillHeld = S_OK, AfterAll = E_FAIL;
  std::thread Worker([&] {
    if (callerCom != NoCom)
      CallerInit = ::CoInitializeEx(nullptr, Model);
    for (int Round = 0; Round < 3; ++Round)
      Used = useWmiTwice() && Used;
    if (callerCom != NoCom) {
      StillHeld = ::CoInitializeEx(nullptr, Model);
      ::CoUninitialize();
      ::CoUninitialize();
    }
    AfterAll = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(AfterAll))
      ::CoUninitialize();
  });
  Worker.join();
  QVERIFY(Used);
  QCOMPARE(CallerInit, S_OK);
  if (callerCom != NoCom)
    QCOMPARE(StillHeld, S_FALSE);
  QCOMPARE(AfterAll, S_OK);
}

// A connection belongs to the thread that made it; another thread is told
// so instead of calling into an apartment it is not in.
void tst_WindowsWmi::otherThreadRefused() {
  WindowsWmi Wmi;
  auto Services = Wmi.ConnectServer(QString(), Cimv2, {}, {});
  HRESULT Error = S_OK;
  std::thread Other([&] {
    try {
      Services->ExecQuery(QStringLiteral("SELECT * FROM Win32_OperatingSystem"),
                          QStringLiteral("WQL"), 0);
    } catch (const EOleException& E) {
      Error = E.ErrorCode();
    }
  });
  Other.join();
  QCOMPARE(Error, RPC_E_WRONG_THREAD);
  QCOMPARE(int(Services
                   ->ExecQuery(QStringLiteral("SELECT * FROM Win32_OperatingSystem"),
                               QStringLiteral("WQL"), 0)
                   .size()),
           1);
}

KELVANE_TEST_MAIN(tst_WindowsWmi)
#include "tst_WindowsWmi.moc"
