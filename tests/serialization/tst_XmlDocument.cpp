// The XML document engine: the three layouts byte for byte, texts that must
// survive a round trip, hostile input, and replacing files atomically.

#include "support/TestMain.h"

#include "serialization/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

QByteArray fixture(const char* AName) {
  QFile File(QFINDTESTDATA(QStringLiteral("../fixtures/serialization/") + QLatin1String(AName)));
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing fixture>");
}

void buildAdapters(TXmlDocument& ADocument) {
  ADocument.StyleSheet() = std::vector<std::pair<QString, QString>>{
      {QStringLiteral("type"), QStringLiteral("text/xsl")},
      {QStringLiteral("href"), QStringLiteral("adapters.xsl")}};
  TXmlNode* Root = ADocument.CreateRoot(QStringLiteral("TNetworkAdapterDataList"));
  TXmlNode* Record = Root->AddElement(QStringLiteral("TNetworkAdapterData"));
  Root->AddAttribute(QStringLiteral("version"), QStringLiteral("1"));
  Record->AddElement(QStringLiteral("Name"))->SetText(QStringLiteral("eth0"));
  Record->AddElement(QStringLiteral("Empty"));
  Record->AddElement(QStringLiteral("Special"))->SetText(QStringLiteral("<&>\"'"));
  Record->AddElement(QStringLiteral("Lines"))->SetText(QStringLiteral("a\nb"));
  Record->AddElement(QStringLiteral("Blanks"))->SetText(QStringLiteral("  "));
  Record->AddElement(QStringLiteral("IPv6Addresses"))
      ->AddElement(QStringLiteral("string"))
      ->SetText(QStringLiteral("fe80::1"));
  Root->AddElement(QStringLiteral("TNetworkAdapterData"));
}

QString errorOf(const QByteArray& AData) {
  try {
    TXmlDocument Document;
    Document.LoadFromBytes(AData, QStringLiteral("input.xml"));
    return QStringLiteral("loaded");
  } catch (const EXmlError& E) {
    return E.Message();
  }
}

} // namespace

class tst_XmlDocument : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void layouts_data();
  void layouts();
  void preserveKeepsWhitespace();
  void preserveAroundTheRoot_data();
  void preserveAroundTheRoot();
  void textsRoundTrip_data();
  void textsRoundTrip();
  void lookupIgnoresCaseAttributesFirst();
  void hostileInput_data();
  void hostileInput();
  void costlyMarkup_data();
  void costlyMarkup();
  void loadRefusesUnfitFiles_data();
  void loadRefusesUnfitFiles();
  void saveReplacesAtomically();
  void saveReportsUnwritableFolder();
  void loadInParts_data();
  void loadInParts();
  void saveInParts_data();
  void saveInParts();
  void saveInPartsFailing();
};

void tst_XmlDocument::layouts_data() {
  QTest::addColumn<int>("format");
  QTest::addColumn<QByteArray>("expected");
  QTest::newRow("readable") << int(xfReadable) << fixture("readable.xml");
  QTest::newRow("compact") << int(xfCompact) << fixture("compact.xml");
  QTest::newRow("preserve adds nothing") << int(xfPreserve) << fixture("compact.xml");
}

void tst_XmlDocument::layouts() {
  QFETCH(int, format);
  QFETCH(QByteArray, expected);
  TXmlDocument Document;
  buildAdapters(Document);
  Document.SetFormat(TXmlFormatType(format));
  QCOMPARE(Document.ToBytes(), expected);
  // The same on every run.
  QCOMPARE(Document.ToBytes(), expected);
}

void tst_XmlDocument::preserveKeepsWhitespace() {
  TXmlDocument Readable;
  Readable.LoadFromBytes(fixture("readable.xml"));
  QCOMPARE(Readable.Format(), xfPreserve);
  QCOMPARE(Readable.ToBytes(), fixture("readable.xml"));
  TXmlDocument Odd;
  Odd.LoadFromBytes(fixture("preserve-input.xml"));
  QCOMPARE(Odd.ToBytes(), fixture("preserve.xml"));
}

// What surrounds the root comes back in the preserving layout as long as
// it is whitespace; comments are not kept, nor is the space around them.
void tst_XmlDocument::preserveAroundTheRoot_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QByteArray>("written");
  const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  QTest::newRow("style sheet, blank line, root")
      << Declaration + "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>\n\n<R/>\n"
      << Declaration + "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>\r\n\r\n<R/>\r\n";
  QTest::newRow("non-ASCII before the style sheet")
      << Declaration + "<!-- \xC3\xA9 -->\n<?xml-stylesheet href=\"b.xsl\"?>  <R>\xC3\xA9</R>"
      << Declaration + "<?xml-stylesheet href=\"b.xsl\"?>  <R>\xC3\xA9</R>";
  QTest::newRow("trailing blank lines")
      << Declaration + "<R/>\r\n\r\n \t" << Declaration + "<R/>\r\n\r\n \t";
  QTest::newRow("comment after the root") << Declaration + "<R/>\r\n<!-- c -->\r\n"
                                          << Declaration + "<R/>";
  QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + Declaration + "<R/>" << Declaration + "<R/>";
}

void tst_XmlDocument::preserveAroundTheRoot() {
  QFETCH(QByteArray, input);
  QFETCH(QByteArray, written);
  TXmlDocument Document;
  Document.LoadFromBytes(input);
  QCOMPARE(Document.ToBytes(), written);
}

void tst_XmlDocument::textsRoundTrip_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("readBack");
  QTest::newRow("empty") << QString() << QString();
  QTest::newRow("five entities") << QStringLiteral("<a href=\"x\">'&'</a>")
                                 << QStringLiteral("<a href=\"x\">'&'</a>");
  QTest::newRow("LF becomes CR LF") << QStringLiteral("one\ntwo") << QStringLiteral("one\r\ntwo");
  QTest::newRow("CR LF stays") << QStringLiteral("one\r\ntwo") << QStringLiteral("one\r\ntwo");
  QTest::newRow("blanks only") << QStringLiteral(" \t ") << QStringLiteral(" \t ");
  QTest::newRow("non-BMP") << QStringLiteral("\U0001F600 \u00e9")
                           << QStringLiteral("\U0001F600 \u00e9");
  QTest::newRow("forbidden control characters")
      << QStringLiteral("a") + QChar(1) + QChar(0x1F) + QChar(0) + "b"
      << QStringLiteral("a\uFFFD\uFFFD\uFFFDb");
  QTest::newRow("lone surrogate and non-characters")
      << QString(QChar(0xD800)) + QChar(0xFFFE) + QChar(0xFFFF)
      << QStringLiteral("\uFFFD\uFFFD\uFFFD");
}

void tst_XmlDocument::textsRoundTrip() {
  QFETCH(QString, text);
  QFETCH(QString, readBack);
  TXmlDocument Document;
  TXmlNode* Root = Document.CreateRoot(QStringLiteral("Root"));
  Root->AddElement(QStringLiteral("Value"))->SetText(text);
  Root->AddAttribute(QStringLiteral("attr"), text);
  for (TXmlFormatType Format : {xfCompact, xfReadable}) {
    Document.SetFormat(Format);
    TXmlDocument Loaded;
    Loaded.LoadFromBytes(Document.ToBytes());
    QCOMPARE(Loaded.Root()->FindChild(QStringLiteral("Value"))->Text(), readBack);
  }
}

void tst_XmlDocument::lookupIgnoresCaseAttributesFirst() {
  TXmlDocument Document;
  Document.LoadFromBytes("<?xml version=\"1.0\"?><Root "
                         "Name=\"attribute\"><name>element</name><NAME>second</NAME></Root>");
  TXmlNode* Root = Document.Root();
  QCOMPARE(Root->FindChild(QStringLiteral("NAME"))->Kind(), TXmlNode::nkAttribute);
  QCOMPARE(Root->FindAttribute(QStringLiteral("name"))->Value(), QStringLiteral("attribute"));
  QCOMPARE(int(Root->ChildElements(QStringLiteral("Name")).size()), 2);
  Root->AddAttribute(QStringLiteral("late"), QStringLiteral("x"));
  QCOMPARE(Root->Children()[1]->Name(), QStringLiteral("late"));
  QVERIFY(Document.Contains(Root->ChildElements().front()));
  TXmlDocument Other;
  QVERIFY(!Other.Contains(Root));
}

void tst_XmlDocument::hostileInput_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("error"); // the start of the message
  QTest::newRow("external entity")
      << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY x "
                    "SYSTEM \"file:///etc/passwd\">]>\n<r>&x;</r>")
      << QStringLiteral("input.xml: line 2, column 54: the external entity \"x\" is not allowed");
  QByteArray Laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
  for (char C = 'b'; C <= 'j'; ++C)
    Laughs += QByteArray("<!ENTITY ") + C + " \"" +
              QByteArray(10, '&').replace("&", QByteArray("&") + char(C - 1) + ";") + "\">";
  Laughs += "]><r>&j;</r>";
  QTest::newRow("billion laughs") << Laughs << QStringLiteral("input.xml: line 1");
  QTest::newRow("deep nesting") << QByteArray("<?xml version=\"1.0\"?>") +
                                       QByteArray("<a>").repeated(100000)
                                << QStringLiteral("input.xml: line 1, column");
  QTest::newRow("truncated") << QByteArray("<?xml version=\"1.0\"?><r><v>1</v")
                             << QStringLiteral("input.xml: line 1");
  QTest::newRow("invalid UTF-8")
      << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><r>\xC3\x28\xFF</r>")
      << QStringLiteral("input.xml: not valid UTF-8");
  QTest::newRow("empty") << QByteArray() << QStringLiteral("input.xml: ");
  QTest::newRow("no root") << QByteArray("<?xml version=\"1.0\"?>\r\n")
                           << QStringLiteral("input.xml: ");
  QTest::newRow("two roots") << QByteArray("<?xml version=\"1.0\"?><a/><b/>")
                             << QStringLiteral("input.xml: line 1");
  QTest::newRow("NUL inside a text") << QByteArray("<?xml version=\"1.0\"?><r>a\0b</r>", 31)
                                     << QStringLiteral("input.xml: line 1");
  QTest::newRow("larger than the bound")
      << QByteArray(MaxXmlBytes + 1, ' ')
      << QStringLiteral("input.xml: larger than 67108864 bytes, not read");
}

void tst_XmlDocument::hostileInput() {
  QFETCH(QByteArray, input);
  QFETCH(QString, error);
  const QString Message = errorOf(input);
  QVERIFY2(Message.startsWith(error) && Message != QLatin1String("loaded"), qPrintable(Message));
}

// Markup the reader would take minutes over (it compares each attribute of
// an element with every other, each attribute-list declaration with all
// before it) is refused before reading, with its place; the same markup
// within the bounds, or hidden in values, comments and sections, loads.
void tst_XmlDocument::costlyMarkup_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("result"); // "loaded" or the error
  const auto attributes = [](int ACount, const QByteArray& AValue) {
    QByteArray Text;
    for (int I = 0; I < ACount; ++I)
      Text += " a" + QByteArray::number(I) + "=\"" + AValue + '"';
    return Text;
  };
  QTest::newRow("64 attributes") << "<r>\n  <e" + attributes(64, "1") + "/>\n</r>"
                                 << QStringLiteral("loaded");
  QTest::newRow("100,000 attributes")
      << "<r>\n  <e" + attributes(100000, "1") + "/>\n</r>"
      << QStringLiteral("input.xml: line 2, column 2: an element with more than 64 attributes");
  QTest::newRow("\"=\" and \">\" in values, comments, sections and instructions")
      << "<r" + attributes(64, "=>='>") + "><!--" + QByteArray(1000, '=') + "--><![CDATA[" +
             QByteArray(1000, '=') + "]]><?p " + QByteArray(1000, '=') + "?></r>"
      << QStringLiteral("loaded");

  QByteArray Lists = "<!DOCTYPE r [";
  for (int I = 0; I < 20000; ++I)
    Lists += "<!ATTLIST r b" + QByteArray::number(I) + " CDATA \"x\">";
  QTest::newRow("20,000 attribute-list declarations")
      << Lists + "]><r/>"
      << QStringLiteral(
             "input.xml: line 1, column 13: attribute-list declarations are not allowed");
  QTest::newRow("a parameter entity")
      << QByteArray("<!DOCTYPE r [<!-- <!ATTLIST --><!ENTITY x '<!ATTLIST r b CDATA \"x\">'>"
                    "<!ENTITY \n % p '<!ATTLIST r b CDATA \"x\">'>%p;]><r/>")
      << QStringLiteral("input.xml: line 1, column 69: parameter entities are not allowed");

  const QByteArray Entity = "<!DOCTYPE r [<!ENTITY e \"x\">]><r a=\"&e;&amp;&#65;\">";
  QTest::newRow("256 references to a declared entity")
      << Entity + QByteArray("&e;").repeated(255) + "&lt;&gt;&quot;&apos;&#x41;</r>"
      << QStringLiteral("loaded");
  QTest::newRow("100,000 references to a declared entity")
      << Entity + QByteArray("&e;").repeated(100000) + "</r>"
      << QStringLiteral(
             "input.xml: line 1, column %1: more than 256 references to declared entities")
             .arg(Entity.size() + 255 * 3);
}

void tst_XmlDocument::costlyMarkup() {
  QFETCH(QByteArray, input);
  QFETCH(QString, result);
  QCOMPARE(errorOf(input), result);
}

void tst_XmlDocument::loadRefusesUnfitFiles_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("error"); // after the file name
  QTest::newRow("a file of 100 MB")
      << QStringLiteral("huge") << QStringLiteral(": larger than 67108864 bytes, not read");
#ifndef _WIN32
  QTest::newRow("a FIFO, which would block")
      << QStringLiteral("fifo") << QStringLiteral(": cannot be opened: not a regular file");
#endif
  QTest::newRow("a folder") << QStringLiteral("folder")
                            << QStringLiteral(": cannot be opened: not a regular file");
  QTest::newRow("missing") << QStringLiteral("missing")
                           << QStringLiteral(": cannot be opened: ") + MissingFileText();
}

void tst_XmlDocument::loadRefusesUnfitFiles() {
  QFETCH(QString, kind);
  QFETCH(QString, error);
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  if (kind == QLatin1String("huge")) {
    QFile File(Path); // sparse: a valid start, then zero bytes
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write("<?xml version=\"1.0\"?><r>");
    QVERIFY(File.resize(100 * 1024 * 1024));
#ifndef _WIN32
  } else if (kind == QLatin1String("fifo")) {
    QCOMPARE(::mkfifo(QFile::encodeName(Path).constData(), 0600), 0);
#endif
  } else if (kind == QLatin1String("folder")) {
    QVERIFY(QDir().mkpath(Path));
  }
  TXmlDocument Document;
  try {
    Document.LoadFromFile(Path);
    QFAIL("loaded");
  } catch (const EXmlError& E) {
    QCOMPARE(E.Message(), Path + error);
  }
}

void tst_XmlDocument::saveReplacesAtomically() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  const QString Victim = Dir.filePath(QStringLiteral("victim"));
  QFile File(Victim);
  QVERIFY(File.open(QIODevice::WriteOnly) && File.write("precious") == 8);
  File.close();
  QVERIFY(QFile::link(Victim, Path));
  TXmlDocument Document;
  buildAdapters(Document);
  Document.SetFormat(xfReadable);
  Document.SaveToFile(Path);
  QVERIFY(!QFileInfo(Path).isSymLink());
  QFile Saved(Path);
  QVERIFY(Saved.open(QIODevice::ReadOnly));
  QCOMPARE(Saved.readAll(), fixture("readable.xml"));
  QFile Untouched(Victim);
  QVERIFY(Untouched.open(QIODevice::ReadOnly));
  QCOMPARE(Untouched.readAll(), QByteArray("precious"));
  // Nothing is left behind beside the file.
  QCOMPARE(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
  TXmlDocument Loaded;
  Loaded.LoadFromFile(Path);
  QCOMPARE(Loaded.Root()->Name(), QStringLiteral("TNetworkAdapterDataList"));
}

void tst_XmlDocument::saveReportsUnwritableFolder() {
  TXmlDocument Document;
  Document.CreateRoot(QStringLiteral("R"));
  QVERIFY_THROWS_EXCEPTION(EXmlError,
                           Document.SaveToFile(QStringLiteral("/nonexistent-folder/x.xml")));
  QVERIFY_THROWS_EXCEPTION(EXmlError,
                           Document.LoadFromFile(QStringLiteral("/nonexistent-folder/x.xml")));
}

void tst_XmlDocument::loadInParts_data() {
  QTest::addColumn<QByteArray>("xml");
  QTest::addColumn<QStringList>("parts"); // per part: the root's compact XML
  QTest::addColumn<QString>("error");     // empty: loaded
  QTest::newRow("each child on its own, the root's attributes kept")
      << QByteArray("<?xml version=\"1.0\"?>\r\n<list "
                    "a=\"1\">\r\n\t<r><v>1</v></r>\r\n\t<r><v>2</v><w/></r>\r\n</list>\r\n")
      << QStringList{QStringLiteral("<list a=\"1\"><r><v>1</v></r></list>"),
                     QStringLiteral("<list a=\"1\"><r><v>2</v><w/></r></list>")}
      << QString();
  QTest::newRow("text and comments between the children are left out")
      << QByteArray("<list>x<!-- c --><r/>y<s>z</s></list>")
      << QStringList{QStringLiteral("<list><r/></list>"), QStringLiteral("<list><s>z</s></list>")}
      << QString();
  QTest::newRow("a root without children: the root alone")
      << QByteArray("<list a=\"1\">only text</list>")
      << QStringList{QStringLiteral("<list a=\"1\"/>")} << QString();
  QTest::newRow("an error after a part still raises")
      << QByteArray("<list><r/><r>") << QStringList{QStringLiteral("<list><r/></list>")}
      << QStringLiteral("NetworkAdapters.xml: line 1");
  QTest::newRow("an external entity raises before any part")
      << QByteArray(
             "<!DOCTYPE l [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><list><r>&e;</r></list>")
      << QStringList() << QStringLiteral("NetworkAdapters.xml: line 1");
}

// A file read in parts: each child of the root with the root around it,
// one at a time, and the same checks as a whole load.
void tst_XmlDocument::loadInParts() {
  QFETCH(QByteArray, xml);
  QFETCH(QStringList, parts);
  QFETCH(QString, error);
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  QFile File(Path);
  QVERIFY(File.open(QIODevice::WriteOnly));
  File.write(xml);
  File.close();
  TXmlDocument Document;
  QStringList Seen;
  QString Raised;
  try {
    Document.LoadFromFileInParts(Path, [&] { Seen << Document.RootXml(); });
  } catch (const EXmlError& E) {
    Raised = E.Message();
  }
  QCOMPARE(Seen, parts);
  QVERIFY2(error.isEmpty() ? Raised.isEmpty() : Raised.startsWith(Dir.filePath(error)),
           qPrintable(Raised));
  // A failed load keeps nothing.
  QCOMPARE(Document.Root() == nullptr, !error.isEmpty());
}

namespace {
// Record ANumber of the save tests: values that need escaping, an empty
// element, a nested list.
void addRecord(TXmlNode* AParent, int ANumber) {
  TXmlNode* Record = AParent->AddElement(QStringLiteral("TNetworkAdapterData"));
  Record->AddElement(QStringLiteral("Name"))->SetText(QStringLiteral("eth%1 <&>").arg(ANumber));
  Record->AddElement(QStringLiteral("Lines"))->SetText(QStringLiteral("a\nb"));
  Record->AddElement(QStringLiteral("Empty"));
  Record->AddElement(QStringLiteral("IPv6Addresses"))
      ->AddElement(QStringLiteral("string"))
      ->SetText(QStringLiteral("fe80::%1").arg(ANumber));
}
} // namespace

void tst_XmlDocument::saveInParts_data() {
  QTest::addColumn<int>("format");
  QTest::addColumn<int>("parts");
  QTest::addColumn<int>("perPart"); // records each part adds
  QTest::addColumn<bool>("extras"); // a style sheet and a root attribute
  QTest::newRow("no part: an empty root") << int(xfReadable) << 0 << 1 << false;
  QTest::newRow("one record") << int(xfReadable) << 1 << 1 << false;
  QTest::newRow("many records") << int(xfReadable) << 5 << 1 << false;
  QTest::newRow("parts of two records") << int(xfReadable) << 3 << 2 << false;
  QTest::newRow("style sheet and root attribute") << int(xfReadable) << 2 << 1 << true;
  QTest::newRow("compact") << int(xfCompact) << 3 << 1 << true;
  QTest::newRow("compact, no part") << int(xfCompact) << 0 << 1 << true;
  QTest::newRow("as loaded") << int(xfPreserve) << 2 << 1 << true;
}

// Written a part at a time, a file is byte for byte the file of the whole
// tree, and no part's tree is still there when the next one is made.
void tst_XmlDocument::saveInParts() {
  QFETCH(int, format);
  QFETCH(int, parts);
  QFETCH(int, perPart);
  QFETCH(bool, extras);
  const auto prepare = [&](TXmlDocument& ADocument) {
    ADocument.SetFormat(TXmlFormatType(format));
    if (extras)
      ADocument.StyleSheet() = std::vector<std::pair<QString, QString>>{
          {QStringLiteral("type"), QStringLiteral("text/xsl")},
          {QStringLiteral("href"), QStringLiteral("adapters.xsl")}};
  };
  QTemporaryDir Dir;
  TXmlDocument Whole;
  prepare(Whole);
  TXmlNode* Root = Whole.CreateRoot(QStringLiteral("TNetworkAdapterDataList"));
  if (extras)
    Root->AddAttribute(QStringLiteral("version"), QStringLiteral("1"));
  for (int I = 0; I < parts * perPart; ++I)
    addRecord(Root, I);
  Whole.SaveToFile(Dir.filePath(QStringLiteral("whole.xml")));

  TXmlDocument InParts;
  prepare(InParts);
  int Made = 0;
  QStringList Left; // what a part found below the root when it started
  InParts.SaveToFileInParts(
      Dir.filePath(QStringLiteral("parts.xml")), QStringLiteral("TNetworkAdapterDataList"), [&] {
        TXmlNode* PartRoot = InParts.Root();
        if (PartRoot->HasChildElements())
          Left << QStringLiteral("part %1").arg(Made);
        if (extras && !PartRoot->FindAttribute(QStringLiteral("version")))
          PartRoot->AddAttribute(QStringLiteral("version"), QStringLiteral("1"));
        if (Made == parts * perPart)
          return false;
        for (int I = 0; I < perPart; ++I)
          addRecord(PartRoot, Made++);
        return true;
      });
  QCOMPARE(Left, QStringList());
  QFile WholeFile(Dir.filePath(QStringLiteral("whole.xml")));
  QFile PartsFile(Dir.filePath(QStringLiteral("parts.xml")));
  QVERIFY(WholeFile.open(QIODevice::ReadOnly) && PartsFile.open(QIODevice::ReadOnly));
  QCOMPARE(PartsFile.readAll(), WholeFile.readAll());
  // The root is left, with its attributes and without the parts.
  QVERIFY(InParts.Root());
  QVERIFY(!InParts.Root()->HasChildElements());
  QCOMPARE(InParts.Root()->FindAttribute(QStringLiteral("version")) != nullptr, extras);
}

// A part that raises writes nothing: the file there before stays.
void tst_XmlDocument::saveInPartsFailing() {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  QFile File(Path);
  QVERIFY(File.open(QIODevice::WriteOnly) && File.write("precious") == 8);
  File.close();
  TXmlDocument Document;
  int Made = 0;
  QVERIFY_THROWS_EXCEPTION(EConvertError,
                           Document.SaveToFileInParts(Path, QStringLiteral("List"), [&]() -> bool {
                             if (Made == 2)
                               throw EConvertError(QStringLiteral("bad"));
                             addRecord(Document.Root(), Made++);
                             return true;
                           }));
  QVERIFY(!Document.Root());
  QVERIFY(File.open(QIODevice::ReadOnly));
  QCOMPARE(File.readAll(), QByteArray("precious"));
  QCOMPARE(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
  QVERIFY_THROWS_EXCEPTION(
      EXmlError, Document.SaveToFileInParts(QStringLiteral("/nonexistent-folder/x.xml"),
                                            QStringLiteral("List"), [] { return false; }));
}

KELVANE_TEST_MAIN(tst_XmlDocument)
#include "tst_XmlDocument.moc"
