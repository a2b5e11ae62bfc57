// The property-driven path: an object without serialization code of its own
// written and read through its Qt properties.

#include "support/TestMain.h"

#include "serialization/Serializers.h"

#include <QPoint>
#include <QTest>

namespace {
class TPart : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Label MEMBER Label)
public:
  QString Label;
};

// Serializes itself, straight into the element of the object holding it.
class TSelfWriter : public QObject, public ISerializable {
  Q_OBJECT
public:
  QString Text;
  void Serialize(TSerializer& ASerializer) override {
    ASerializer.AddString(QStringLiteral("SelfText"), Text);
  }
  void Deserialize(TSerializer& ASerializer) override {
    Text = ASerializer.GetString(QStringLiteral("SelfText"), QString());
  }
};

class TBase : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Number MEMBER Number)
public:
  int Number = 0;
};

class TWrapper : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* Inner READ inner CONSTANT)
  Q_PROPERTY(QString After MEMBER After)
public:
  TBase Inner;
  QString After;
  QObject* inner() { return &Inner; }
};

class TSample : public TBase {
  Q_OBJECT
public:
  enum TColour { clRed, clGreen, clBlue };
  Q_ENUM(TColour)
  enum TOption { Alpha = 1, Beta = 2, Gamma = 4 };
  Q_DECLARE_FLAGS(TOptions, TOption)
  Q_FLAG(TOptions)

private:
  Q_PROPERTY(QString Name MEMBER Name)
  Q_PROPERTY(bool Enabled MEMBER Enabled)
  Q_PROPERTY(TColour Colour MEMBER Colour)
  Q_PROPERTY(TOptions Options READ options WRITE setOptions)
  Q_PROPERTY(qint64 Big MEMBER Big)
  Q_PROPERTY(uint Unsigned MEMBER Unsigned)
  Q_PROPERTY(double Ratio MEMBER Ratio)
  Q_PROPERTY(TDateTime When MEMBER When)
  Q_PROPERTY(QStringList Lines MEMBER Lines)
  Q_PROPERTY(QObject* Part READ part CONSTANT)
  Q_PROPERTY(QObject* Self READ self CONSTANT)
  Q_PROPERTY(QObject* Nothing READ nothing CONSTANT)
  Q_PROPERTY(QList<QObject*> Parts READ parts CONSTANT)
  Q_PROPERTY(QPoint Where MEMBER Where)
  Q_PROPERTY(QString Computed READ computed)

public:
  QString Name;
  bool Enabled = false;
  TColour Colour = clRed;
  TOptions Options;
  qint64 Big = 0;
  uint Unsigned = 0;
  double Ratio = 0;
  TDateTime When;
  QStringList Lines;
  TPart Part;
  TSelfWriter Self;
  TPart First, Second;
  QPoint Where;

  TOptions options() const { return Options; }
  void setOptions(TOptions AOptions) { Options = AOptions; }
  QObject* part() { return &Part; }
  QObject* self() { return &Self; }
  QObject* nothing() { return nullptr; }
  QList<QObject*> parts() { return {&First, &Second}; }
  QString computed() const { return Name + QStringLiteral("!"); }
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TSample::TOptions)
} // namespace

class tst_RttiSerializable : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void writesEveryKindInDeclarationOrder();
  void readsBack();
  void missingElementsGiveDefaults();
  void badTextInsideAnObjectIsLoggedAndSkipped();
};

void tst_RttiSerializable::init() {
  HoldLogRecords();
}

void tst_RttiSerializable::cleanup() {
  ReleaseLogRecords();
}

namespace {
void fill(TSample& ASample) {
  ASample.Number = -7;
  ASample.Name = QStringLiteral("eth0");
  ASample.Enabled = true;
  ASample.Colour = TSample::clBlue;
  ASample.Options = TSample::Gamma | TSample::Alpha;
  ASample.Big = INT64_MIN;
  ASample.Unsigned = 4000000000u;
  ASample.Ratio = 0.5;
  ASample.When = TDateTime{45352.25};
  ASample.Lines = {QStringLiteral("a"), QStringLiteral("b")};
  ASample.Part.Label = QStringLiteral("inner");
  ASample.Self.Text = QStringLiteral("own");
  ASample.First.Label = QStringLiteral("1");
  ASample.Second.Label = QStringLiteral("2");
  ASample.Where = QPoint(3, 4);
}

// A filled sample after reading it from ABody inside a root element.
std::unique_ptr<TSample> readFilled(const QString& ABody) {
  TXmlSerializer Reader;
  Reader.SetXml(QStringLiteral("<?xml version=\"1.0\"?><Root>%1</Root>").arg(ABody));
  Reader.BeginObjectRead(QStringLiteral("Root"));
  auto Sample = std::make_unique<TSample>();
  fill(*Sample);
  Reader.Deserialize(Sample.get(), true);
  return Sample;
}

const QString Written = QStringLiteral(
    "<TSample><Number>-7</Number><Name>eth0</Name><Enabled>True</Enabled>"
    "<Colour>clBlue</Colour><Options><option>Alpha</option><option>Gamma</option></Options>"
    "<Big>-9223372036854775808</Big><Unsigned>4000000000</Unsigned><Ratio>.5</Ratio>"
    "<When>2024-03-01T06:00:00Z</When><Lines><string>a</string><string>b</string></Lines>"
    "<Part><Label>inner</Label></Part><SelfText>own</SelfText>"
    "<Parts><TPart><Label>1</Label></TPart><TPart><Label>2</Label></TPart></Parts>"
    "<Computed>eth0!</Computed></TSample>");
} // namespace

void tst_RttiSerializable::writesEveryKindInDeclarationOrder() {
  TSample Sample;
  fill(Sample);
  TXmlSerializer Writer;
  Writer.Serialize(&Sample, true);
  QCOMPARE(Writer.XmlDocument()->RootXml(), Written);
  // The one property of a kind the path does not know is named in a warning.
  QCOMPARE(HeldRecordFields(QStringLiteral("title")),
           QStringList{QStringLiteral("Property \"Where\" has unknown type")});
}

void tst_RttiSerializable::readsBack() {
  TXmlSerializer Reader;
  Reader.SetXml(QStringLiteral("<?xml version=\"1.0\"?>") + Written);
  TSample Sample;
  Reader.Deserialize(&Sample, true);
  QCOMPARE(Sample.Number, -7);
  QCOMPARE(Sample.Name, QStringLiteral("eth0"));
  QCOMPARE(Sample.Enabled, true);
  QCOMPARE(Sample.Colour, TSample::clBlue);
  QCOMPARE(Sample.Options, TSample::Gamma | TSample::Alpha);
  QCOMPARE(Sample.Big, INT64_MIN);
  QCOMPARE(Sample.Unsigned, 4000000000u);
  QCOMPARE(Sample.Ratio, 0.5);
  QCOMPARE(Sample.When.Value, 45352.25);
  QCOMPARE(Sample.Lines, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
  QCOMPARE(Sample.Part.Label, QStringLiteral("inner"));
  QCOMPARE(Sample.Self.Text, QStringLiteral("own"));
  // Lists of objects are written for other readers, never read back.
  QCOMPARE(Sample.First.Label, QString());
  QVERIFY(HeldRecordFields(QStringLiteral("title")).isEmpty());
}

void tst_RttiSerializable::missingElementsGiveDefaults() {
  const auto Sample = readFilled(QStringLiteral("<TSample/>"));
  QCOMPARE(Sample->Number, 0);
  QCOMPARE(Sample->Name, QString());
  QCOMPARE(Sample->Enabled, false);
  QCOMPARE(Sample->Colour, TSample::clRed);
  QCOMPARE(Sample->Options, TSample::TOptions());
  QCOMPARE(Sample->Ratio, 0.0);
  QCOMPARE(Sample->When.Value, 0.0);
  QVERIFY(Sample->Lines.isEmpty());
  // A missing element of an object property leaves the object unchanged.
  QCOMPARE(Sample->Part.Label, QStringLiteral("inner"));

  // Without the object's element nothing is read at all.
  const auto Untouched = readFilled(QStringLiteral("<Other/>"));
  QCOMPARE(Untouched->Name, QStringLiteral("eth0"));
  QCOMPARE(Untouched->Number, -7);
}

void tst_RttiSerializable::badTextInsideAnObjectIsLoggedAndSkipped() {
  // A wrong value in a plain property reaches the caller ...
  TXmlSerializer Strict;
  Strict.SetXml(QStringLiteral("<?xml version=\"1.0\"?><TBase><Number>x</Number></TBase>"));
  TBase Base;
  QVERIFY_THROWS_EXCEPTION(EConvertError, Strict.Deserialize(&Base, true));

  // ... inside an object property it is logged, and the walk goes on after
  // the object's element.
  TXmlSerializer Nested;
  Nested.SetXml(QStringLiteral("<?xml version=\"1.0\"?><TWrapper><Inner><Number>x</Number>"
                               "</Inner><After>read</After></TWrapper>"));
  TWrapper Wrapper;
  Wrapper.Inner.Number = 5;
  Nested.Deserialize(&Wrapper, true);
  QCOMPARE(Wrapper.Inner.Number, 5);
  QCOMPARE(Wrapper.After, QStringLiteral("read"));
  QCOMPARE(HeldRecordFields(QStringLiteral("kind")), QStringList{QStringLiteral("exception")});
}

KELVANE_TEST_MAIN(tst_RttiSerializable)
#include "tst_RttiSerializable.moc"
