// The object mapper and its XML data source: which properties a class maps
// and how, the two passes, aggregations, lists behind interfaces, and the
// failures a pass reports instead of raising.

#include "support/TestMain.h"

#include "serialization/ObjectMapperAttributes.h"
#include "serialization/XMLObjectMapper.h"

#include <QBuffer>
#include <QTest>

namespace {
// Maps nothing: no property carries a mapping attribute.
class TUnmapped : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString Name MEMBER Name)
public:
  QString Name = QStringLiteral("x");
};

class TParent : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Label MEMBER Label)
  Q_CLASSINFO("map:Label", "ParentLabel")
  Q_PROPERTY(int Count MEMBER Count)
  Q_CLASSINFO("map:Count", "Count, true")
public:
  QString Label;
  int Count = 0;
};

// Declares Label again: it is mapped once, from here, ahead of the parent's.
class TChild : public TParent {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_CLASSINFO("MappedTableName", "CHILDREN")
  Q_PROPERTY(QString Label MEMBER ChildLabel)
  Q_CLASSINFO("map:Label", "  ")
  Q_PROPERTY(QString MACAddress MEMBER MACAddress)
  Q_CLASSINFO("map:MACAddress", "Mac")
  Q_PROPERTY(QString Ignored MEMBER Ignored)
public:
  QString ChildLabel, MACAddress, Ignored;
};

class TKinds : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
public:
  enum TColour { clRed, clGreen, clBlue };
  Q_ENUM(TColour)
  enum TOption { Alpha = 1, Beta = 2, Gamma = 4 };
  Q_DECLARE_FLAGS(TOptions, TOption)
  Q_FLAG(TOptions)

private:
  Q_PROPERTY(TColour Colour MEMBER Colour)
  Q_CLASSINFO("map:Colour", "")
  Q_PROPERTY(TOptions Options READ options WRITE setOptions)
  Q_CLASSINFO("map:Options", "")
  Q_PROPERTY(QStringList Lines MEMBER Lines)
  Q_CLASSINFO("map:Lines", "")
  Q_PROPERTY(QObject* Stream READ stream CONSTANT)
  Q_CLASSINFO("map:Stream", "")
  Q_PROPERTY(QObject* NoStream READ noStream CONSTANT)
  Q_CLASSINFO("map:NoStream", "")
  Q_PROPERTY(TDateTime When MEMBER When)
  Q_CLASSINFO("map:When", "")
  Q_PROPERTY(double Ratio MEMBER Ratio)
  Q_CLASSINFO("map:Ratio", "Ratio, false, false")
  Q_PROPERTY(qint64 Big MEMBER Big)
  Q_CLASSINFO("map:Big", "Big, false, dsReadOnly")
  Q_PROPERTY(QString Note MEMBER Note)
  Q_CLASSINFO("map:Note", "Note, false, true, true")
  Q_PROPERTY(IInterfaceList* Numbers READ numbers CONSTANT)
  Q_CLASSINFO("map:Numbers", "")
  Q_PROPERTY(IInterfaceList* Words READ words CONSTANT)
  Q_CLASSINFO("map:Words", "")

public:
  TColour Colour = clRed;
  TOptions Options;
  QStringList Lines;
  QBuffer Bytes;
  TDateTime When;
  double Ratio = 0;
  qint64 Big = 0;
  QString Note;
  QList<int> NumberValues;
  QList<QString> WordValues;
  TInterfaceValueList<int> NumbersView{NumberValues};
  TInterfaceValueList<QString> WordsView{WordValues};

  TKinds() { Bytes.open(QIODevice::ReadWrite); }

  TOptions options() const { return Options; }
  void setOptions(TOptions AValue) { Options = AValue; }
  QObject* stream() { return &Bytes; }
  QObject* noStream() { return nullptr; }
  IInterfaceList* numbers() { return &NumbersView; }
  IInterfaceList* words() { return &WordsView; }
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TKinds::TOptions)

// Maps its object property only while that holds a stream.
class TMaybeStream : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString Name MEMBER Name)
  Q_CLASSINFO("map:Name", "")
  Q_PROPERTY(QObject* Data READ data CONSTANT)
  Q_CLASSINFO("map:Data", "")
public:
  QString Name;
  QBuffer* Bytes = nullptr;
  QObject* data() { return Bytes; }
};

// A list of simple values of a kind the files do not carry.
class TRatios : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(IInterfaceList* Ratios READ ratios CONSTANT)
  Q_CLASSINFO("map:Ratios", "")
public:
  QList<double> Values;
  TInterfaceValueList<double> View{Values};
  IInterfaceList* ratios() { return &View; }
};

class TInner : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString Value MEMBER Value)
  Q_CLASSINFO("map:Value", "V")
public:
  QString Value;
};

// Mapped, but writes itself when it is aggregated.
class TSelfWriting : public QObject, public ISerializable {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString Text MEMBER Text)
  Q_CLASSINFO("map:Text", "")
public:
  QString Text;
  void Serialize(TSerializer& ASerializer) override {
    ASerializer.AddString(QStringLiteral("Own"), Text);
  }
  void Deserialize(TSerializer& ASerializer) override {
    Text = ASerializer.GetString(QStringLiteral("Own"), QString());
  }
};

// Defines its own mapping, with two aggregated objects.
class TSelfMapped : public QObject, public IObjectMapping {
  Q_OBJECT
  Q_PROPERTY(QString Name MEMBER Name)
  Q_PROPERTY(QObject* Inner READ inner CONSTANT)
  Q_PROPERTY(QObject* Writer READ writer CONSTANT)
  Q_PROPERTY(QObject* Nothing READ nothing CONSTANT)
public:
  QString Name;
  TInner Inner;
  TSelfWriting Writer;
  bool WrongKind = false;
  QObject* inner() { return &Inner; }
  QObject* writer() { return &Writer; }
  QObject* nothing() { return nullptr; }
  void DefineObjectMapping(IObjectMapper& AMapper) override {
    if (WrongKind)
      AMapper.MapIntegerProperty(QStringLiteral("Name"), QStringLiteral("N"));
    else
      AMapper.MapStringProperty(QStringLiteral("Name"), QStringLiteral("N"));
    AMapper.AddAggregation(QStringLiteral("Inner"), QStringLiteral("InnerLink"), false);
    AMapper.AddAggregation(QStringLiteral("Writer"), QStringLiteral("WriterLink"), false);
    QVERIFY(!AMapper.AddAggregation(QStringLiteral("Nothing"), QStringLiteral("X"), false));
  }
};

// Maps one property twice, under names that differ in case only.
class TMappedTwice : public QObject, public IObjectMapping {
  Q_OBJECT
  Q_PROPERTY(QString Name MEMBER Name)
public:
  QString Name;
  void DefineObjectMapping(IObjectMapper& AMapper) override {
    AMapper.MapStringProperty(QStringLiteral("Name"), QStringLiteral("First"));
    AMapper.MapStringProperty(QStringLiteral("NAME"), QStringLiteral("Second"));
  }
};

class TNotMappable : public QObject {
  Q_OBJECT
};

class TSecret : public QObject {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString Secret MEMBER Secret)
  Q_CLASSINFO("map:Secret", "Secret, false, true, false, true")
public:
  QString Secret;
};

class TReversing : public IStringCipher {
public:
  QString EncryptString(const QString& AText) override { return reversed(AText); }
  QString DecryptString(const QString& AText) override { return reversed(AText); }
  static QString reversed(QString AText) {
    std::reverse(AText.begin(), AText.end());
    return AText;
  }
};

// A mapper whose data source is a compact XML text.
QString written(QObject* AObject) {
  TXmlSerializer Serializer;
  Serializer.BeginObjectWrite(QStringLiteral("Root"));
  TXmlObjectMapper::WriteToSerializer(AObject, Serializer);
  Serializer.EndObjectWrite(QStringLiteral("Root"));
  return Serializer.XmlDocument()->RootXml();
}

void readInto(QObject* AObject, const QString& AXml) {
  TXmlSerializer Serializer;
  Serializer.SetXml(QStringLiteral("<?xml version=\"1.0\"?>") + AXml);
  Serializer.BeginObjectRead(QStringLiteral("Root"));
  TXmlObjectMapper::ReadFromSerializer(AObject, Serializer);
}
} // namespace

class tst_ObjectMapper : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void attributeTexts_data();
  void attributeTexts();
  void classWithoutMappedPropertiesWritesNothing();
  void mappingOrderNamesAndFlags();
  void findPropertyGivesTheFirstOfAName();
  void everyKindRoundTrips();
  void enumerationTexts_data();
  void enumerationTexts();
  void listsOfValues();
  void aggregations();
  void failuresEndThePass();
  void classThatCannotBeMapped();
  void encryptedValues();
  void sameClassKeepsTheMapping();
  void passesOverObjectsOfOneClass();
  void mappingThatDependsOnTheObject();
};

void tst_ObjectMapper::init() {
  HoldLogRecords();
}

void tst_ObjectMapper::cleanup() {
  ReleaseLogRecords();
}

void tst_ObjectMapper::attributeTexts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("flags"); // key, exists, null-if-empty, crypted; then the state
  QTest::newRow("no arguments") << QString() << QString() << QStringLiteral("0100 dsAvailable");
  QTest::newRow("name") << QStringLiteral("Mac") << QStringLiteral("Mac")
                        << QStringLiteral("0100 dsAvailable");
  QTest::newRow("name and key leave exists false")
      << QStringLiteral("CLTHDWNCID, true") << QStringLiteral("CLTHDWNCID")
      << QStringLiteral("1000 dsAvailable");
  QTest::newRow("state") << QStringLiteral("N, false, dsReadOnly") << QStringLiteral("N")
                         << QStringLiteral("0000 dsReadOnly");
  QTest::newRow("not in database")
      << QStringLiteral("IPFilderSecurityEnabled,false,false")
      << QStringLiteral("IPFilderSecurityEnabled") << QStringLiteral("0000 dsAvailable");
  QTest::newRow("null if empty") << QStringLiteral("N, false, true, true") << QStringLiteral("N")
                                 << QStringLiteral("0110 dsAvailable");
  QTest::newRow("crypted") << QStringLiteral("N, true, true, false, true") << QStringLiteral("N")
                           << QStringLiteral("1101 dsAvailable");
  QTest::newRow("flag that is no flag") << QStringLiteral("N, yes") << QString() << QString();
  QTest::newRow("unknown state") << QStringLiteral("N, false, dsMaybe") << QString() << QString();
  QTest::newRow("too many") << QStringLiteral("N,true,true,true,true,true") << QString()
                            << QString();
}

void tst_ObjectMapper::attributeTexts() {
  QFETCH(QString, text);
  QFETCH(QString, name);
  QFETCH(QString, flags);
  try {
    const MappingAttribute Attribute = MappingAttribute::FromText(text);
    QCOMPARE(Attribute.Name(), name);
    const QString Read =
        QStringLiteral("%1%2%3%4 %5")
            .arg(int(Attribute.IsKeyField()))
            .arg(int(Attribute.ExistsInDatabase()))
            .arg(int(Attribute.AddNullIfEmpty()))
            .arg(int(Attribute.IsCrypted()))
            .arg(QLatin1String(
                QMetaEnum::fromType<TMappedPropertyDbState>().valueToKey(Attribute.DbState())));
    QCOMPARE(Read, flags);
  } catch (const EArgumentException& E) {
    QVERIFY2(flags.isEmpty(), qPrintable(E.Message()));
    QCOMPARE(E.Message(), QStringLiteral("Invalid mapping attribute \"%1\"").arg(text));
  }
}

void tst_ObjectMapper::classWithoutMappedPropertiesWritesNothing() {
  TUnmapped Object;
  TXmlObjectMapper Mapper(&Object);
  QVERIFY(Mapper.MappedProperties().IsEmpty());
  QCOMPARE(written(&Object), QStringLiteral("<Root/>"));
}

void tst_ObjectMapper::mappingOrderNamesAndFlags() {
  TChild Child;
  TXmlObjectMapper Mapper(&Child);
  QStringList Entries;
  for (const TMappedProperty* Entry : Mapper.MappedProperties())
    Entries << QStringLiteral("%1=%2 %3 key:%4 %5")
                   .arg(Entry->PropertyName(), Entry->FieldName(), Entry->TableName())
                   .arg(int(Entry->IsKeyProperty()))
                   .arg(QLatin1String(
                       QMetaEnum::fromType<TMappedPropertyDbState>().valueToKey(Entry->DbState())));
  QCOMPARE(Entries, (QStringList{QStringLiteral("Label=Label CHILDREN key:0 dsAvailable"),
                                 QStringLiteral("MACAddress=Mac CHILDREN key:0 dsAvailable"),
                                 QStringLiteral("Count=Count CHILDREN key:1 dsAvailable")}));
  QCOMPARE(Mapper.TableName(), QStringLiteral("CHILDREN"));
  QVERIFY(Mapper.FindProperty(QStringLiteral("macaddress")));
  QVERIFY(!Mapper.FlagPropertyNotAvailableInDatabase(QStringLiteral("Unknown")));
  QVERIFY(Mapper.FlagPropertyReadOnlyInDatabase(QStringLiteral("count")));
  QCOMPARE(Mapper.FindProperty(QStringLiteral("Count"))->DbState(), dsReadOnly);
}

void tst_ObjectMapper::findPropertyGivesTheFirstOfAName() {
  TMappedTwice Twice;
  TXmlObjectMapper Mapper(&Twice);
  QCOMPARE(Mapper.MappedProperties().Count(), 2);
  QCOMPARE(Mapper.FindProperty(QStringLiteral("name"))->FieldName(), QStringLiteral("First"));
  QCOMPARE(Mapper.FindProperty(QStringLiteral("NAME"))->FieldName(), QStringLiteral("First"));
  // Another class, another mapping: the names of the first are gone.
  TChild Child;
  Mapper.SetMappedObject(&Child);
  QVERIFY(!Mapper.FindProperty(QStringLiteral("Name")));
  QCOMPARE(Mapper.FindProperty(QStringLiteral("label"))->FieldName(), QStringLiteral("Label"));
}

void tst_ObjectMapper::everyKindRoundTrips() {
  TKinds Source;
  Source.Colour = TKinds::clBlue;
  Source.Options = TKinds::Alpha | TKinds::Gamma;
  Source.Lines = {QStringLiteral("a"), QStringLiteral("b")};
  Source.Bytes.write(QByteArray("\x01\xFE", 2));
  Source.When = TDateTime{45352.5};
  Source.Ratio = 0.5;
  Source.Big = -5000000000LL;
  Source.Note = QStringLiteral("n");
  Source.NumberValues = {3, -4};
  Source.WordValues = {QStringLiteral("x")};
  TXmlObjectMapper Mapper(&Source);
  // The stream property that holds no object at mapping time is not mapped.
  QVERIFY(!Mapper.FindProperty(QStringLiteral("NoStream")));
  QCOMPARE(Mapper.FindProperty(QStringLiteral("Ratio"))->DbState(), dsNotAvailable);
  QCOMPARE(Mapper.FindProperty(QStringLiteral("Big"))->DbState(), dsReadOnly);
  QCOMPARE(Mapper.FindProperty(QStringLiteral("Note"))->DbState(), dsNullIfEmpty);
  const QString Xml = written(&Source);
  QCOMPARE(Xml, QStringLiteral("<Root><TKinds><Colour>clBlue</Colour>"
                               "<Options><option>Alpha</option><option>Gamma</option></Options>"
                               "<Lines><string>a</string><string>b</string></Lines>"
                               "<Stream>01FE</Stream><When>2024-03-01T12:00:00Z</When>"
                               "<Ratio>.5</Ratio><Big>-5000000000</Big><Note>n</Note>"
                               "<Numbers><Value>3</Value><Value>-4</Value></Numbers>"
                               "<Words><Value>x</Value></Words></TKinds></Root>"));
  TKinds Target;
  Target.Bytes.write("stale");
  readInto(&Target, Xml);
  QCOMPARE(Target.Colour, TKinds::clBlue);
  QCOMPARE(Target.Options, TKinds::Alpha | TKinds::Gamma);
  QCOMPARE(Target.Lines, Source.Lines);
  QCOMPARE(Target.Bytes.data(), QByteArray("\x01\xFE", 2));
  QCOMPARE(Target.When.Value, 45352.5);
  QCOMPARE(Target.Ratio, 0.5);
  QCOMPARE(Target.Big, -5000000000LL);
  QCOMPARE(Target.NumberValues, (QList<int>{3, -4}));

  // An absent set element empties the set; other absent values stay.
  readInto(&Target, QStringLiteral("<Root><TKinds><Ratio>2</Ratio></TKinds></Root>"));
  QCOMPARE(Target.Options, TKinds::TOptions());
  QCOMPARE(Target.Colour, TKinds::clBlue);
  QCOMPARE(Target.Ratio, 2.0);
  QVERIFY(HeldRecordFields(QStringLiteral("kind"), QStringLiteral("exception")).isEmpty());
}

void tst_ObjectMapper::enumerationTexts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("expected");
  QTest::newRow("name") << QStringLiteral("clGreen") << int(TKinds::clGreen);
  QTest::newRow("name in other case") << QStringLiteral("CLBLUE") << int(TKinds::clBlue);
  QTest::newRow("ordinal") << QStringLiteral("2") << int(TKinds::clBlue);
  QTest::newRow("blank is ordinal 0") << QStringLiteral(" ") << int(TKinds::clRed);
  QTest::newRow("unknown name fails the pass") << QStringLiteral("clPink") << -1;
}

void tst_ObjectMapper::enumerationTexts() {
  QFETCH(QString, text);
  QFETCH(int, expected);
  TKinds Target;
  Target.Colour = TKinds::clGreen;
  readInto(&Target,
           QStringLiteral("<Root><TKinds><Colour>%1</Colour><Ratio>7</Ratio></TKinds></Root>")
               .arg(text));
  if (expected < 0) {
    QCOMPARE(Target.Colour, TKinds::clGreen);
    QCOMPARE(Target.Ratio, 0.0); // the pass ended before it
    QVERIFY(HeldRecordFields(QStringLiteral("title"))
                .contains(QStringLiteral("Read from data source failed")));
  } else {
    QCOMPARE(int(Target.Colour), expected);
    QCOMPARE(Target.Ratio, 7.0);
  }
}

void tst_ObjectMapper::listsOfValues() {
  TKinds Target;
  const QString Xml = QStringLiteral(
      "<Root><TKinds><Numbers><Value>1</Value><Value>2</Value></Numbers></TKinds></Root>");
  readInto(&Target, Xml);
  readInto(&Target, Xml);
  // Lists of values are not emptied before reading.
  QCOMPARE(Target.NumberValues, (QList<int>{1, 2, 1, 2}));
  // An empty list writes nothing.
  TKinds Empty;
  QVERIFY(!written(&Empty).contains(QStringLiteral("<Numbers")));

  TRatios Ratios;
  readInto(&Ratios, QStringLiteral("<Root><TRatios><Ratios><Value>1.5</Value></Ratios>"
                                   "</TRatios></Root>"));
  QVERIFY(Ratios.Values.isEmpty());
  QVERIFY(
      HeldRecordFields(QStringLiteral("title")).contains(QStringLiteral("Unsupported item kind")));
}

void tst_ObjectMapper::aggregations() {
  TSelfMapped Source;
  Source.Name = QStringLiteral("outer");
  Source.Inner.Value = QStringLiteral("inner");
  Source.Writer.Text = QStringLiteral("own");
  TXmlObjectMapper Mapper(&Source);
  QCOMPARE(Mapper.AggregatedProperties().size(), std::size_t(2));
  const TMappedProperty* Aggregation = Mapper.AggregatedProperties().front();
  QCOMPARE(Aggregation->PropertyKind(), pkAggregation);
  QCOMPARE(Aggregation->AggregatedProperties().First()->FieldName(), QStringLiteral("V"));
  QCOMPARE(Aggregation->AggregatedProperties().First()->AggregationLink(), QStringLiteral("Inner"));
  // The flags reach into aggregated entries too.
  QVERIFY(Mapper.FlagPropertyNotAvailableInDatabase(QStringLiteral("Value")));

  const QString Xml = written(&Source);
  QCOMPARE(Xml, QStringLiteral("<Root><TSelfMapped><N>outer</N><Inner><V>inner</V></Inner>"
                               "<Writer><Own>own</Own></Writer></TSelfMapped></Root>"));
  TSelfMapped Target;
  readInto(&Target, Xml);
  QCOMPARE(Target.Name, QStringLiteral("outer"));
  QCOMPARE(Target.Inner.Value, QStringLiteral("inner"));
  QCOMPARE(Target.Writer.Text, QStringLiteral("own"));
}

void tst_ObjectMapper::failuresEndThePass() {
  TSelfMapped Source;
  Source.WrongKind = true;
  Source.Name = QStringLiteral("text");
  // The group is closed all the same, so what follows stays in place.
  QCOMPARE(written(&Source), QStringLiteral("<Root><TSelfMapped/></Root>"));
  QCOMPARE(HeldRecordFields(QStringLiteral("title"), QStringLiteral("exception")).size(), 1);
  QVERIFY(HeldRecordFields(QStringLiteral("data"), QStringLiteral("exception"))
              .join(QString())
              .contains(QStringLiteral("Property [Name] has the wrong data type tkUString.\r\n"
                                       "Valid data types are: [tkInteger,tkEnumeration,tkSet]")));
  QVERIFY(HeldRecordFields(QStringLiteral("title"))
              .contains(QStringLiteral("Failed to update data source")));
}

void tst_ObjectMapper::classThatCannotBeMapped() {
  TNotMappable Object;
  try {
    TXmlObjectMapper Mapper(&Object);
    QFAIL("no error raised");
  } catch (const ENotSupportedException& E) {
    QCOMPARE(E.Message(),
             QStringLiteral("Class [TNotMappable] does not implement \"IObjectMapping\""));
  }
  QVERIFY(
      HeldRecordFields(QStringLiteral("title"))
          .contains(QStringLiteral("Class [TNotMappable] does not implement \"IObjectMapping\"")));
}

void tst_ObjectMapper::encryptedValues() {
  TSecret Source;
  Source.Secret = QStringLiteral("abc");
  // Without the library the value passes unchanged, after a log entry.
  QCOMPARE(written(&Source),
           QStringLiteral("<Root><TSecret><Secret>abc</Secret></TSecret></Root>"));
  QCOMPARE(HeldRecordFields(QStringLiteral("title"))
               .filter(QStringLiteral("Failed to load \"vaultkey.dll\""))
               .size(),
           1);

  TStringCipherLoader Previous =
      ReplaceStringCipherLoader([](std::uint32_t*) -> std::unique_ptr<IStringCipher> {
        return std::make_unique<TReversing>();
      });
  const QString Xml = written(&Source);
  TSecret Target;
  readInto(&Target, Xml);
  ReplaceStringCipherLoader(std::move(Previous));
  QCOMPARE(Xml, QStringLiteral("<Root><TSecret><Secret>cba</Secret></TSecret></Root>"));
  QCOMPARE(Target.Secret, QStringLiteral("abc"));
  // The library gone again, a later pass no longer finds it.
  QCOMPARE(written(&Source),
           QStringLiteral("<Root><TSecret><Secret>abc</Secret></TSecret></Root>"));
}

void tst_ObjectMapper::sameClassKeepsTheMapping() {
  TChild First, Second;
  First.ChildLabel = QStringLiteral("first");
  Second.ChildLabel = QStringLiteral("second");
  TXmlObjectMapper Mapper(&First);
  const TMappedProperty* Entry = Mapper.MappedProperties().First();
  Mapper.SetMappedObject(&Second);
  QCOMPARE(Mapper.MappedProperties().First(), Entry);
  QCOMPARE(Entry->Owner(), &Second);
  TKinds Other;
  Mapper.SetMappedObject(&Other);
  QCOMPARE(Mapper.MappedProperties().First()->PropertyName(), QStringLiteral("Colour"));
}

// Objects of one class in a row, as a list is written and read: each pass
// moves the values of its own object.
void tst_ObjectMapper::passesOverObjectsOfOneClass() {
  TChild First, Second;
  First.ChildLabel = QStringLiteral("first");
  First.Count = 1;
  Second.ChildLabel = QStringLiteral("second");
  Second.MACAddress = QStringLiteral("52:54:00:00:00:02");
  Second.Count = 2;
  TXmlSerializer Serializer;
  Serializer.BeginObjectWrite(QStringLiteral("Root"));
  TXmlObjectMapper::WriteToSerializer(&First, Serializer);
  TXmlObjectMapper::WriteToSerializer(&Second, Serializer);
  Serializer.EndObjectWrite(QStringLiteral("Root"));
  const QString Xml = Serializer.XmlDocument()->RootXml();
  QCOMPARE(Xml, QStringLiteral("<Root><TChild><Label>first</Label><Mac/><Count>1</Count></TChild>"
                               "<TChild><Label>second</Label><Mac>52:54:00:00:00:02</Mac>"
                               "<Count>2</Count></TChild></Root>"));

  TXmlSerializer Reader;
  Reader.SetXml(QStringLiteral("<?xml version=\"1.0\"?>") + Xml);
  Reader.BeginObjectRead(QStringLiteral("Root"));
  std::unique_ptr<TSerializerIterator> Items = Reader.GetIterator(QStringLiteral("TChild"));
  TChild Read[2];
  for (TChild& Target : Read) {
    QVERIFY(Items->MoveNext());
    Reader.PrepareForIterator(*Items);
    TXmlObjectMapper::ReadFromSerializer(&Target, Reader);
  }
  QCOMPARE(Read[0].ChildLabel, QStringLiteral("first"));
  QCOMPARE(Read[0].MACAddress, QString());
  QCOMPARE(Read[0].Count, 1);
  QCOMPARE(Read[1].ChildLabel, QStringLiteral("second"));
  QCOMPARE(Read[1].MACAddress, QStringLiteral("52:54:00:00:00:02"));
  QCOMPARE(Read[1].Count, 2);
}

// Whether an object property is mapped depends on the object at hand, so
// objects of one class may map differently one after another.
void tst_ObjectMapper::mappingThatDependsOnTheObject() {
  TMaybeStream Without, With;
  Without.Name = QStringLiteral("a");
  With.Name = QStringLiteral("b");
  QBuffer Bytes;
  Bytes.setData("AB");
  QVERIFY(Bytes.open(QIODevice::ReadOnly));
  With.Bytes = &Bytes;
  const QString Plain = QStringLiteral("<Root><TMaybeStream><Name>a</Name></TMaybeStream></Root>");
  QCOMPARE(written(&Without), Plain);
  QCOMPARE(written(&With), QStringLiteral("<Root><TMaybeStream><Name>b</Name><Data>4142</Data>"
                                          "</TMaybeStream></Root>"));
  QCOMPARE(written(&Without), Plain);
}

KELVANE_TEST_MAIN(tst_ObjectMapper)
#include "tst_ObjectMapper.moc"
