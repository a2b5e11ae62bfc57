// The XML serializer: objects and values written and read back, the file
// layout of a list, and the forgiving and strict sides of reading.

#include "support/TestMain.h"

#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "serialization/Serializers.h"

#include <QDate>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

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
};

void tst_Serializers::init() {
  MorvelLogEngine()->SetLevel(TLogLevel::Debug);
  MorvelLogEngine()->SetConnections(QStringLiteral("mem()"));
}

void tst_Serializers::cleanup() {
  MorvelLogEngine()->SetConnections(QString());
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

KELVANE_TEST_MAIN(tst_Serializers)
#include "tst_Serializers.moc"
