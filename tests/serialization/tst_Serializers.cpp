// The XML serializer: objects and values written and read back, the file
// layout of a list, and the forgiving and strict sides of reading.

#include "support/TestMain.h"

#include "serialization/Serializers.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Enumerations and sets as the serializer meets them.
namespace Kinds {
Q_NAMESPACE
enum TColour { clRed, clGreen, clBlue };
Q_ENUM_NS(TColour)
enum TWide { wSmall = 1, wLarge = 70000 };
Q_ENUM_NS(TWide)
enum TOption { Alpha = 1, Beta = 2, Gamma = 4, Delta = 8, AlphaAndBeta = 3 };
Q_DECLARE_FLAGS(TOptions, TOption)
Q_FLAG_NS(TOptions)
} // namespace Kinds

namespace {
class TRecord : public ISerializable {
public:
  QString Name;
  int Count = 0;
  QStringList Lines;
  void Serialize(TSerializer& ASerializer) override {
    ASerializer.BeginObjectWrite(QStringLiteral("TRecord"));
    ASerializer.AddString(QStringLiteral("Name"), Name);
    ASerializer.AddInteger(QStringLiteral("Count"), Count);
    ASerializer.AddStrings(QStringLiteral("Lines"), Lines);
    ASerializer.EndObjectWrite(QStringLiteral("TRecord"));
  }
  void Deserialize(TSerializer& ASerializer) override {
    if (!ASerializer.BeginObjectRead(QStringLiteral("TRecord")))
      return;
    Name = ASerializer.GetString(QStringLiteral("name"), QStringLiteral("(none)"));
    Count = ASerializer.GetInteger(QStringLiteral("Count"), -1);
    ASerializer.GetStrings(QStringLiteral("Lines"), &Lines);
    ASerializer.EndObjectRead(QStringLiteral("TRecord"));
  }
};

// A serializer holding AXml, with the root entered.
std::unique_ptr<TXmlSerializer> reading(const QString& AXml) {
  auto Serializer = std::make_unique<TXmlSerializer>();
  Serializer->SetXml(AXml);
  Serializer->BeginObjectRead(QStringLiteral("Root"));
  return Serializer;
}
} // namespace

class tst_Serializers : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void listRoundTripsThroughFile();
  void emptyList();
  void rootOfAnotherName();
  void valuesRoundTrip();
  void readingDefaults_data();
  void readingDefaults();
  void strictConversions_data();
  void strictConversions();
  void dateTimes();
  void streams();
  void attributes();
  void valueKindsRoundTrip_data();
  void valueKindsRoundTrip();
  void enumerations_data();
  void enumerations();
  void sets_data();
  void sets();
  void typeErrors_data();
  void typeErrors();
  void deviceStreams();
  void streamsOfTheDocument();
  void declarationWithoutEncoding();
  void styleSheetAndSchema();
  void partOfAnotherDocument();
  void serializeStrings();
  void unnamedReads();
};

void tst_Serializers::init() {
  HoldLogRecords();
}

void tst_Serializers::cleanup() {
  ReleaseLogRecords();
}

void tst_Serializers::listRoundTripsThroughFile() {
  TObjectList<TRecord> List;
  auto* First = List.AddNew();
  First->Name = QStringLiteral("eth0");
  First->Count = 2;
  First->Lines = QStringList{QStringLiteral("fe80::1"), QStringLiteral("2001:db8::2")};
  List.AddNew()->Name = QString();
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  {
    TXmlSerializer Serializer;
    SerializeObjectList(Serializer, List, QStringLiteral("TRecordList"));
    Serializer.SaveToFile(Path);
    QCOMPARE(Serializer.XmlFormatType(), xfCompact);
  }
  QFile File(Path);
  QVERIFY(File.open(QIODevice::ReadOnly));
  QCOMPARE(
      File.readAll(),
      QByteArray(
          "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TRecordList>\r\n"
          "\t<TRecord>\r\n\t\t<Name>eth0</Name>\r\n\t\t<Count>2</Count>\r\n"
          "\t\t<Lines>\r\n\t\t\t<string>fe80::1</string>\r\n\t\t\t<string>2001:db8::2</string>\r\n"
          "\t\t</Lines>\r\n\t</TRecord>\r\n\t<TRecord>\r\n\t\t<Name/>\r\n\t\t<Count>0</Count>\r\n"
          "\t\t<Lines/>\r\n\t</TRecord>\r\n</TRecordList>\r\n"));
  TObjectList<TRecord> Read;
  Read.AddNew()->Name = QStringLiteral("stale");
  TXmlSerializer Serializer;
  Serializer.LoadFromFile(Path);
  QCOMPARE(Serializer.XmlFormatType(), xfPreserve);
  DeserializeObjectList(Serializer, Read, QStringLiteral("TRecordList"), QStringLiteral("TRecord"));
  QCOMPARE(Read.Count(), 2);
  QCOMPARE(Read[0]->Name, QStringLiteral("eth0"));
  QCOMPARE(Read[0]->Count, 2);
  QCOMPARE(Read[0]->Lines, First->Lines);
  // An empty string is written as an empty element and reads as the default.
  QCOMPARE(Read[1]->Name, QStringLiteral("(none)"));
  QVERIFY(Read[1]->Lines.isEmpty());
}

void tst_Serializers::emptyList() {
  TObjectList<TRecord> Empty;
  TXmlSerializer Writer;
  Writer.SetXmlFormatType(xfReadable);
  SerializeObjectList(Writer, Empty, QStringLiteral("TNetworkAdapterDataList"));
  QCOMPARE(Writer.GetXml(),
           QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TNetworkAdapterDataList/>\r\n"));
  TObjectList<TRecord> Read;
  Read.AddNew();
  TXmlSerializer Reader;
  Reader.SetXml(Writer.GetXml());
  DeserializeObjectList(Reader, Read, QStringLiteral("TNetworkAdapterDataList"),
                        QStringLiteral("TRecord"));
  QVERIFY(Read.IsEmpty());
}

void tst_Serializers::rootOfAnotherName() {
  TXmlSerializer Reader;
  Reader.SetXml(QStringLiteral("<?xml version=\"1.0\"?><OtherList/>"));
  TObjectList<TRecord> Read;
  try {
    DeserializeObjectList(Reader, Read, QStringLiteral("TRecordList"), QStringLiteral("TRecord"));
    QFAIL("no error raised");
  } catch (const EAssertionFailed& E) {
    QVERIFY2(
        E.Message().startsWith(QStringLiteral("Root node name differs from open object name (")),
        qPrintable(E.Message()));
  }
  // The root check is exact about letter case, the value look-up is not.
  TXmlSerializer Cased;
  Cased.SetXml(QStringLiteral("<?xml version=\"1.0\"?><Root><Name>x</Name></Root>"));
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Cased.BeginObjectRead(QStringLiteral("root")));
}

void tst_Serializers::valuesRoundTrip() {
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddBoolean(QStringLiteral("Flag"), true);
  Writer.AddByte(QStringLiteral("Byte"), 255);
  Writer.AddInteger(QStringLiteral("Int"), INT32_MIN);
  Writer.AddInt64(QStringLiteral("Big"), INT64_MAX);
  Writer.AddFloat(QStringLiteral("Half"), 0.5);
  Writer.AddFloat(QStringLiteral("Inf"), INFINITY);
  Writer.AddString(QStringLiteral("Special"), QStringLiteral("<&>\"' \U0001F600"));
  Writer.AddString(QStringLiteral("Lines"), QStringLiteral("a\nb"));
  Writer.AddString(QStringLiteral("Twice"), QStringLiteral("first"));
  Writer.AddString(QStringLiteral("Twice"), QStringLiteral("second"));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<Half>.5</Half>")));
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<Lines>a\r\nb</Lines>")));
  auto Reader = reading(Writer.GetXml());
  QCOMPARE(Reader->GetBoolean(QStringLiteral("flag"), false), true);
  QCOMPARE(Reader->GetByte(QStringLiteral("Byte"), 0), std::uint8_t(255));
  QCOMPARE(Reader->GetInteger(QStringLiteral("Int"), 0), INT32_MIN);
  QCOMPARE(Reader->GetInt64(QStringLiteral("Big"), 0), INT64_MAX);
  QCOMPARE(Reader->GetFloat(QStringLiteral("Half"), 0), 0.5);
  QCOMPARE(Reader->GetFloat(QStringLiteral("Inf"), 0), double(INFINITY));
  QCOMPARE(Reader->GetString(QStringLiteral("Special"), {}), QStringLiteral("<&>\"' \U0001F600"));
  QCOMPARE(Reader->GetString(QStringLiteral("Lines"), {}), QStringLiteral("a\r\nb"));
  QCOMPARE(Reader->GetString(QStringLiteral("Twice"), {}), QStringLiteral("first"));
  QVERIFY(Reader->IsValueAvailable(QStringLiteral("TWICE")));
  QVERIFY(!Reader->IsValueAvailable(QStringLiteral("Thrice")));
  std::unique_ptr<TSerializerIterator> Iterator = Reader->GetIterator(QStringLiteral("twice"));
  QCOMPARE(Iterator->GetItemCount(), 2);
  QVERIFY(Iterator->MoveNext());
  QVERIFY(Iterator->MoveNext());
  QCOMPARE(Iterator->AsString(), QStringLiteral("second"));
  QVERIFY(!Iterator->MoveNext());
}

void tst_Serializers::readingDefaults_data() {
  QTest::addColumn<QString>("xml");
  QTest::addColumn<double>("floatValue");
  QTest::addColumn<QString>("text");
  QTest::newRow("missing element") << QStringLiteral("<Root/>") << 7.0 << QStringLiteral("default");
  QTest::newRow("empty element") << QStringLiteral("<Root><V/></Root>") << 7.0
                                 << QStringLiteral("default");
  QTest::newRow("comma decimal") << QStringLiteral("<Root><V>1,5</V></Root>") << 1.5
                                 << QStringLiteral("1,5");
  QTest::newRow("not a number") << QStringLiteral("<Root><V>abc</V></Root>") << 7.0
                                << QStringLiteral("abc");
  QTest::newRow("blanks are a value")
      << QStringLiteral("<Root><V>  </V></Root>") << 7.0 << QStringLiteral("  ");
}

void tst_Serializers::readingDefaults() {
  QFETCH(QString, xml);
  QFETCH(double, floatValue);
  QFETCH(QString, text);
  auto Reader = reading(QStringLiteral("<?xml version=\"1.0\"?>") + xml);
  QCOMPARE(Reader->GetFloat(QStringLiteral("V"), 7.0), floatValue);
  QCOMPARE(Reader->GetString(QStringLiteral("V"), QStringLiteral("default")), text);
}

void tst_Serializers::strictConversions_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<bool>("booleanFails");
  QTest::addColumn<bool>("integerFails");
  QTest::newRow("TRUE in capitals") << QStringLiteral("TRUE") << false << true;
  QTest::newRow("yes") << QStringLiteral("yes") << true << true;
  QTest::newRow("number") << QStringLiteral("-12") << true << false;
  QTest::newRow("too large for 32 bits") << QStringLiteral("4294967296") << true << true;
}

void tst_Serializers::strictConversions() {
  QFETCH(QString, value);
  QFETCH(bool, booleanFails);
  QFETCH(bool, integerFails);
  auto Reader = reading(QStringLiteral("<?xml version=\"1.0\"?><Root><V>%1</V></Root>").arg(value));
  bool BooleanFailed = false, IntegerFailed = false;
  try {
    Reader->GetBoolean(QStringLiteral("V"), false);
  } catch (const EConvertError&) {
    BooleanFailed = true;
  }
  try {
    Reader->GetInteger(QStringLiteral("V"), 0);
  } catch (const EConvertError&) {
    IntegerFailed = true;
  }
  QCOMPARE(BooleanFailed, booleanFails);
  QCOMPARE(IntegerFailed, integerFails);
}

void tst_Serializers::dateTimes() {
  const double Written =
      QDate(1899, 12, 30).daysTo(QDate(2024, 3, 1)) + (8 * 3600 + 15 * 60 + 30.25) / 86400.0;
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddDateTime(QStringLiteral("When"), Written);
  Writer.AddString(QStringLiteral("Bad"), QStringLiteral("2024-13-01"));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<When>2024-03-01T08:15:30Z</When>")));
  auto Reader = reading(Writer.GetXml());
  QCOMPARE(Reader->GetDateTime(QStringLiteral("When"), 0), Written - 0.25 / 86400.0);
  QVERIFY(HeldRecordFields(QStringLiteral("title")).isEmpty());
  QCOMPARE(Reader->GetDateTime(QStringLiteral("Bad"), 42.0), 42.0);
  QCOMPARE(HeldRecordFields(QStringLiteral("title")),
           (QStringList{QStringLiteral("'2024-13-01' is not a valid date and time"),
                        QStringLiteral("Failed to read date. Use default")}));
}

void tst_Serializers::streams() {
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddStream(QStringLiteral("Empty"), QByteArray());
  Writer.AddStream(QStringLiteral("Two"), QByteArray("\x0A\xFF", 2));
  Writer.AddStream(QStringLiteral("Limit"), QByteArray(10000, 'x'));
  QVERIFY(HeldRecordFields(QStringLiteral("title")).isEmpty());
  Writer.AddStream(QStringLiteral("Over"), QByteArray(10001, 'y'));
  QCOMPARE(HeldRecordFields(QStringLiteral("title")),
           (QStringList{
               QStringLiteral("Stream exceeds max size = 10001"),
               QStringLiteral(
                   "Add stream method in TXmlSerializer should only be used with small streams"),
               QStringLiteral("Stream will be added")}));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<Empty/><Two>0AFF</Two>")));
  auto Reader = reading(Writer.GetXml());
  QByteArray Target("keep");
  Reader->GetStream(QStringLiteral("Empty"), &Target);
  QCOMPARE(Target, QByteArray("keep"));
  QByteArray Two;
  Reader->GetStream(QStringLiteral("Two"), &Two);
  QCOMPARE(Two, QByteArray("\x0A\xFF", 2));
  QByteArray Over;
  Reader->GetStream(QStringLiteral("Over"), &Over);
  QCOMPARE(Over, QByteArray(10001, 'y'));
}

void tst_Serializers::attributes() {
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddIntegerAttributeToCurrentNode(QStringLiteral("Count"), 3);
  Writer.AddStringAttributeToCurrentNode(QStringLiteral("count"), QStringLiteral("not replaced"));
  Writer.AddStringAttributeToCurrentNode(QStringLiteral("Text"), QStringLiteral("abc"));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<Root Count=\"3\" Text=\"abc\"/>")));
  auto Reader = reading(Writer.GetXml());
  QCOMPARE(Reader->GetIntegerAttributeFromCurrentNode(QStringLiteral("COUNT"), -1), 3);
  QCOMPARE(Reader->GetIntegerAttributeFromCurrentNode(QStringLiteral("Text"), -1), 0);
  QCOMPARE(Reader->GetIntegerAttributeFromCurrentNode(QStringLiteral("Missing"), -1), -1);
  QCOMPARE(Reader->GetStringAttributeFromCurrentNode(QStringLiteral("text"), QString()),
           QStringLiteral("abc"));
}

// One value of every kind goes through a file and back; "kind" picks the
// Add/Get pair, "expected" is what reading answers (the default 'd' marks a
// value that reads as the caller's default).
void tst_Serializers::valueKindsRoundTrip_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QVariant>("value");
  QTest::addColumn<QVariant>("expected");
  const auto row = [](const char* AName, const char* AKind, const QVariant& AValue,
                      const QVariant& AExpected = {}) {
    QTest::newRow(AName) << QString::fromLatin1(AKind) << AValue
                         << (AExpected.isValid() ? AExpected : AValue);
  };
  row("boolean true", "boolean", true);
  row("boolean false", "boolean", false);
  row("byte 0", "byte", 0);
  row("byte 255", "byte", 255);
  row("integer min", "integer", INT32_MIN);
  row("integer max", "integer", INT32_MAX);
  row("integer -1", "integer", -1);
  row("int64 min", "int64", qint64(INT64_MIN));
  row("int64 max", "int64", qint64(INT64_MAX));
  row("float 2.5", "float", 2.5);
  row("float -0.005", "float", -0.005);
  row("float 1e300", "float", 1e300);
  row("float denormal-ish 1e-300", "float", 1e-300);
  row("float nine digits", "float", 123456789.0);
  row("float ten digits rounds", "float", 1234567891.0, 1234567890.0);
  row("float +inf", "float", double(INFINITY));
  row("float -inf", "float", -double(INFINITY));
  row("float nan", "float", double(NAN));
  row("date-time", "datetime", 45352.5);
  row("date-time before 1899-12-30", "datetime", -1.25);
  row("empty string reads the default", "string", QString(), QStringLiteral("d"));
  row("markup characters", "string", QStringLiteral("<a href=\"x\">&amp;'</a>"));
  row("non-BMP", "string", QStringLiteral("\U0001F600 \U00010348"));
  row("LF becomes CR LF", "string", QStringLiteral("a\nb\n"), QStringLiteral("a\r\nb\r\n"));
  row("CR LF stays", "string", QStringLiteral("a\r\nb"));
  row("blanks only", "string", QStringLiteral("   "));
  row("leading and trailing blanks", "string", QStringLiteral("  x  "));
  row("forbidden control character", "string", QStringLiteral("a\x01z"),
      QStringLiteral("a\uFFFDz"));
  row("string list", "strings",
      QStringList{QStringLiteral("one"), QString(), QStringLiteral("<3>")},
      QStringList{QStringLiteral("one"), QStringLiteral("d"), QStringLiteral("<3>")});
  row("empty string list", "strings", QStringList());
  row("empty stream", "stream", QByteArray());
  row("binary stream", "stream", QByteArray("\x00\x0A\xFF\x7F", 4));
  QByteArray Large(100000, '\0');
  for (int I = 0; I < Large.size(); ++I)
    Large[I] = char(I * 7);
  row("large stream", "stream", Large);
}

void tst_Serializers::valueKindsRoundTrip() {
  QFETCH(QString, kind);
  QFETCH(QVariant, value);
  QFETCH(QVariant, expected);
  const QString V = QStringLiteral("V");
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  if (kind == u"boolean")
    Writer.AddBoolean(V, value.toBool());
  else if (kind == u"byte")
    Writer.AddByte(V, std::uint8_t(value.toInt()));
  else if (kind == u"integer")
    Writer.AddInteger(V, value.toInt());
  else if (kind == u"int64")
    Writer.AddInt64(V, value.toLongLong());
  else if (kind == u"float")
    Writer.AddFloat(V, value.toDouble());
  else if (kind == u"datetime")
    Writer.AddDateTime(V, value.toDouble());
  else if (kind == u"string")
    Writer.AddString(V, value.toString());
  else if (kind == u"strings")
    Writer.AddStrings(V, value.toStringList());
  else if (kind == u"stream")
    Writer.AddStream(V, value.toByteArray());
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("values.xml"));
  Writer.SaveToFile(Path);

  TXmlSerializer Reader;
  Reader.LoadFromFile(Path);
  QVERIFY(Reader.BeginObjectRead(QStringLiteral("Root")));
  if (kind == u"boolean") {
    QCOMPARE(Reader.GetBoolean(V, !expected.toBool()), expected.toBool());
  } else if (kind == u"byte") {
    QCOMPARE(int(Reader.GetByte(V, 42)), expected.toInt());
  } else if (kind == u"integer") {
    QCOMPARE(Reader.GetInteger(V, 42), expected.toInt());
  } else if (kind == u"int64") {
    QCOMPARE(Reader.GetInt64(V, 42), expected.toLongLong());
  } else if (kind == u"float") {
    const double Read = Reader.GetFloat(V, 42);
    if (std::isnan(expected.toDouble()))
      QVERIFY(std::isnan(Read));
    else
      QCOMPARE(Read, expected.toDouble());
  } else if (kind == u"datetime") {
    QCOMPARE(Reader.GetDateTime(V, 42), expected.toDouble());
  } else if (kind == u"string") {
    QCOMPARE(Reader.GetString(V, QStringLiteral("d")), expected.toString());
  } else if (kind == u"strings") {
    // Each line is a string value of its own: an empty one reads as the
    // element's text, which is empty, not as a default.
    QStringList Lines{QStringLiteral("stale")};
    Reader.GetStrings(V, &Lines);
    QStringList Expected = expected.toStringList();
    Expected.replaceInStrings(QRegularExpression(QStringLiteral("^d$")), QString());
    QCOMPARE(Lines, Expected);
  } else if (kind == u"stream") {
    QByteArray Bytes;
    Reader.GetStream(V, &Bytes);
    QCOMPARE(Bytes, expected.toByteArray());
  }
}

void tst_Serializers::enumerations_data() {
  QTest::addColumn<QString>("xml");
  QTest::addColumn<int>("expected");
  QTest::addColumn<QString>("error");
  QTest::newRow("name") << QStringLiteral("<V>clBlue</V>") << int(Kinds::clBlue) << QString();
  QTest::newRow("any letter case")
      << QStringLiteral("<V>CLGREEN</V>") << int(Kinds::clGreen) << QString();
  QTest::newRow("missing element gives the default")
      << QString() << int(Kinds::clGreen) << QString();
  QTest::newRow("empty element gives the default")
      << QStringLiteral("<V/>") << int(Kinds::clGreen) << QString();
  QTest::newRow("name not in the enumeration")
      << QStringLiteral("<V>clPurple</V>") << 0
      << QStringLiteral("Value for V does not exist in Enum");
  QTest::newRow("ordinal instead of name")
      << QStringLiteral("<V>2</V>") << 0 << QStringLiteral("Value for V does not exist in Enum");
}

void tst_Serializers::enumerations() {
  QFETCH(QString, xml);
  QFETCH(int, expected);
  QFETCH(QString, error);
  auto Reader = reading(QStringLiteral("<?xml version=\"1.0\"?><Root>%1</Root>").arg(xml));
  try {
    QCOMPARE(int(Reader->GetEnum(QStringLiteral("V"), Kinds::clGreen)), expected);
    QVERIFY(error.isEmpty());
  } catch (const EConvertError& E) {
    QCOMPARE(E.Message(), error);
  }
}

void tst_Serializers::sets_data() {
  QTest::addColumn<QString>("xml");
  QTest::addColumn<int>("expected");
  QTest::newRow("options") << QStringLiteral("<V><option>Beta</option><option>delta</option></V>")
                           << int(Kinds::Beta | Kinds::Delta);
  QTest::newRow("unknown option skipped")
      << QStringLiteral("<V><option>Omega</option><option>Gamma</option></V>") << int(Kinds::Gamma);
  QTest::newRow("bracketed list") << QStringLiteral("<V>[Alpha,Beta]</V>")
                                  << int(Kinds::Alpha | Kinds::Beta);
  QTest::newRow("blank after the comma is part of the name")
      << QStringLiteral("<V>[Alpha, Beta]</V>") << int(Kinds::Alpha);
  QTest::newRow("empty brackets") << QStringLiteral("<V>[]</V>") << 0;
  QTest::newRow("empty element") << QStringLiteral("<V/>") << 0;
  QTest::newRow("missing element") << QString() << 0;
}

void tst_Serializers::sets() {
  QFETCH(QString, xml);
  QFETCH(int, expected);
  auto Reader =
      reading(QStringLiteral("<?xml version=\"1.0\"?><Root>%1<After>x</After></Root>").arg(xml));
  QCOMPARE(Reader->GetEnumSet<Kinds::TOption>(QStringLiteral("V")).toInt(), expected);
  // Reading a set leaves the reader where it was.
  QCOMPARE(Reader->GetString(QStringLiteral("After"), {}), QStringLiteral("x"));
}

void tst_Serializers::typeErrors_data() {
  QTest::addColumn<QString>("operation");
  QTest::addColumn<QString>("error");
  QTest::newRow("write a set of a plain enumeration")
      << QStringLiteral("AddEnumSet") << QStringLiteral("TColour is not a set");
  QTest::newRow("read a set of a plain enumeration")
      << QStringLiteral("GetEnumSet") << QStringLiteral("TColour is not a set");
  QTest::newRow("read an enumeration beyond 16 bits")
      << QStringLiteral("GetEnum") << QStringLiteral("TWide is too large");
}

void tst_Serializers::typeErrors() {
  QFETCH(QString, operation);
  QFETCH(QString, error);
  auto Serializer = reading(QStringLiteral("<?xml version=\"1.0\"?><Root><V>wSmall</V></Root>"));
  try {
    if (operation == u"AddEnumSet")
      Serializer->AddEnumSet(QStringLiteral("V"), QMetaEnum::fromType<Kinds::TColour>(), 1);
    else if (operation == u"GetEnumSet")
      Serializer->GetEnumSet(QStringLiteral("V"), QMetaEnum::fromType<Kinds::TColour>());
    else
      Serializer->GetEnum(QStringLiteral("V"), Kinds::wSmall);
    QFAIL("no error raised");
  } catch (const EConvertError& E) {
    QCOMPARE(E.Message(), error);
  }
}

void tst_Serializers::deviceStreams() {
  QByteArray Source("\x01\x02\x03", 3);
  QBuffer Buffer(&Source);
  QVERIFY(Buffer.open(QIODevice::ReadOnly));
  QVERIFY(Buffer.seek(2));
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddStream(QStringLiteral("S"), &Buffer);
  Writer.EndObjectWrite(QStringLiteral("Root"));
  // The whole stream from its start, and the position given back.
  QVERIFY(Writer.GetXml().contains(QStringLiteral("<S>010203</S>")));
  QCOMPARE(Buffer.pos(), qint64(2));

  auto Reader = reading(Writer.GetXml());
  QByteArray Target("abcdef");
  QBuffer TargetBuffer(&Target);
  QVERIFY(TargetBuffer.open(QIODevice::ReadWrite));
  QVERIFY(TargetBuffer.seek(1));
  Reader->GetStream(QStringLiteral("S"), &TargetBuffer);
  QCOMPARE(Target, QByteArray("a\x01\x02\x03"
                              "ef",
                              6));
  QVERIFY_THROWS_EXCEPTION(
      EAssertionFailed, Reader->GetStream(QStringLiteral("S"), static_cast<QIODevice*>(nullptr)));
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed,
                           Writer.AddStream(QStringLiteral("S"), static_cast<QIODevice*>(nullptr)));
}

void tst_Serializers::streamsOfTheDocument() {
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.AddString(QStringLiteral("Name"), QStringLiteral("eth0"));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QBuffer Stream;
  QVERIFY(Stream.open(QIODevice::ReadWrite));
  Stream.write("prefix");
  Writer.SaveToStream(&Stream);
  QCOMPARE(Stream.data(),
           QByteArray("prefix<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root>\r\n"
                      "\t<Name>eth0</Name>\r\n</Root>\r\n"));
  // Saving to a stream leaves the document readable, unlike saving to a file.
  QCOMPARE(Writer.XmlFormatType(), xfReadable);

  QBuffer Input;
  Input.setData(Stream.data().mid(6));
  QVERIFY(Input.open(QIODevice::ReadOnly));
  QVERIFY(Input.seek(10)); // the stream is read from its start
  TXmlSerializer Reader;
  Reader.LoadFromStream(&Input);
  QCOMPARE(Reader.XmlFormatType(), xfPreserve);
  QVERIFY(Reader.BeginObjectRead(QStringLiteral("Root")));
  QCOMPARE(Reader.GetString(QStringLiteral("Name"), {}), QStringLiteral("eth0"));

  QBuffer Broken;
  Broken.setData("<?xml version=\"1.0\"?><Root><Name>");
  QVERIFY(Broken.open(QIODevice::ReadOnly));
  QVERIFY_THROWS_EXCEPTION(EXmlError, Reader.LoadFromStream(&Broken));
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Reader.LoadFromStream(nullptr));
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Reader.SaveToStream(nullptr));
}

void tst_Serializers::declarationWithoutEncoding() {
  TXmlSerializer Writer;
  Writer.BeginObjectWrite(QStringLiteral("Root"));
  Writer.EndObjectWrite(QStringLiteral("Root"));
  QCOMPARE(Writer.GetXml(true), QStringLiteral("<?xml version=\"1.0\"?>\r\n<Root/>"));
  // The encoding is back for every later writing.
  QCOMPARE(Writer.GetXml(),
           QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root/>"));
  TXmlSerializer Loaded;
  Loaded.SetXml(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root/>"));
  QVERIFY(!Loaded.GetXml(true).contains(QStringLiteral("UTF-8"), Qt::CaseInsensitive));
}

void tst_Serializers::styleSheetAndSchema() {
  TXmlSerializer Serializer;
  QVERIFY(!Serializer.SetXsdSchemaFile(QStringLiteral("a.xsd"))); // no root yet
  Serializer.BeginObjectWrite(QStringLiteral("Root"));
  QCOMPARE(Serializer.GetStyleSheet(), QString());
  QVERIFY(Serializer.SetStyleSheet(QStringLiteral("text/xsl"), QStringLiteral("a.xsl")));
  QVERIFY(Serializer.SetStyleSheet(QStringLiteral("text/xsl"), QStringLiteral("b.xsl")));
  QCOMPARE(Serializer.GetStyleSheet(), QStringLiteral("type=\"text/xsl\" href=\"b.xsl\""));
  QVERIFY(Serializer.SetXsdSchemaFile(QStringLiteral("adapters.xsd")));
  QVERIFY(!Serializer.SetXsdSchemaFile(QStringLiteral("other.xsd")));
  Serializer.EndObjectWrite(QStringLiteral("Root"));
  QCOMPARE(Serializer.GetXml(),
           QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                          "<?xml-stylesheet type=\"text/xsl\" href=\"b.xsl\"?>"
                          "<Root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xsi:noNamespaceSchemaLocation=\"adapters.xsd\"/>"));
}

void tst_Serializers::partOfAnotherDocument() {
  TXmlDocument Document;
  TXmlNode* Settings =
      Document.CreateRoot(QStringLiteral("Config"))->AddElement(QStringLiteral("Settings"));
  {
    TXmlSerializer Serializer;
    Serializer.SetXmlDocumentAndCurrentNode(&Document, Settings);
    Serializer.AddInteger(QStringLiteral("Count"), 3);
    TXmlDocument Other;
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Serializer.SetXmlDocumentAndCurrentNode(
                                                   &Other, Other.CreateRoot(QStringLiteral("X"))));
  } // the serializer leaves the caller's document alone
  QCOMPARE(Document.RootXml(),
           QStringLiteral("<Config><Settings><Count>3</Count></Settings></Config>"));

  TXmlDocument Foreign;
  Foreign.CreateRoot(QStringLiteral("Foreign"));
  TXmlSerializer Fresh;
  try {
    Fresh.SetXmlDocumentAndCurrentNode(&Document, Foreign.Root());
    QFAIL("no error raised");
  } catch (const EAssertionFailed& E) {
    QVERIFY(E.Message().startsWith(QStringLiteral("Node must be part of XmlDocument (")));
  }
}

void tst_Serializers::serializeStrings() {
  const QStringList Lines{QStringLiteral("a"), QStringLiteral("<b>")};
  QCOMPARE(TXmlSerializer::SerializeStrings(QStringLiteral("Names"), &Lines),
           QStringLiteral("<Names><string>a</string><string>&lt;b&gt;</string></Names>"));
  QCOMPARE(TXmlSerializer::SerializeStrings(QStringLiteral("Names"), nullptr), QString());
}

void tst_Serializers::unnamedReads() {
  auto Serializer = std::make_unique<TXmlSerializer>();
  Serializer->SetXml(QStringLiteral(
      "<?xml version=\"1.0\"?><List a=\"1\"><Item><Name>x</Name></Item><Item/></List>"));
  QString Name = QStringLiteral("stale");
  QVERIFY(Serializer->BeginObjectRead(&Name));
  QCOMPARE(Name, QStringLiteral("List"));
  QVERIFY(Serializer->BeginObjectRead(&Name)); // attributes are not entered
  QCOMPARE(Name, QStringLiteral("Item"));
  QCOMPARE(Serializer->GetString(QStringLiteral("Name"), {}), QStringLiteral("x"));
  Serializer->EndObjectRead(Name);
  std::unique_ptr<TSerializerIterator> Items = Serializer->GetIterator(QStringLiteral("Item"));
  QVERIFY(Items->MoveNext());
  QVERIFY(Items->MoveNext());
  Serializer->PrepareForIterator(*Items);
  QVERIFY(Serializer->BeginObjectRead(&Name));
  QCOMPARE(Name, QString());                    // the iterator step entered the element
  QVERIFY(!Serializer->BeginObjectRead(&Name)); // an empty element has nothing to enter
  Serializer->EndObjectRead(QStringLiteral("Item"));
  QCOMPARE(Serializer->GetIntegerAttributeFromCurrentNode(QStringLiteral("a"), 0), 1);
}

KELVANE_TEST_MAIN(tst_Serializers)
#include "tst_Serializers.moc"
