#include "support/TestMain.h"

#include "common/StringRules.h"

#include <QTest>

class tst_StringRules : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void trim_data();
  void trim();
  void sameText();
  void sameTextHash_data();
  void sameTextHash();
  void commaText_data();
  void commaText();
  void splitCommaText_data();
  void splitCommaText();
  void removeEnclosingQuotes_data();
  void removeEnclosingQuotes();
  void strToInt_data();
  void strToInt();
  void controlCharacters_data();
  void controlCharacters();
};

void tst_StringRules::trim_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("both");
  QTest::addColumn<QString>("left");
  QTest::addColumn<QString>("right");
  const QString Controls = QString(QChar(0)) + QChar(1) + QChar(31) + u' ';
  QTest::newRow("empty") << QString() << QString() << QString() << QString();
  QTest::newRow("blanks only") << QStringLiteral(" \t\r\n") << QString() << QString() << QString();
  QTest::newRow("control characters and NUL count as blank")
      << Controls + "a b" + Controls << QStringLiteral("a b") << QStringLiteral("a b") + Controls
      << Controls + "a b";
  QTest::newRow("no-break space is not blank")
      << QStringLiteral("\u00a0x\u00a0") << QStringLiteral("\u00a0x\u00a0")
      << QStringLiteral("\u00a0x\u00a0") << QStringLiteral("\u00a0x\u00a0");
}

void tst_StringRules::trim() {
  QFETCH(QString, input);
  QFETCH(QString, both);
  QFETCH(QString, left);
  QFETCH(QString, right);
  QCOMPARE(Trim(input), both);
  QCOMPARE(TrimLeft(input), left);
  QCOMPARE(TrimRight(input), right);
}

void tst_StringRules::sameText() {
  QVERIFY(SameText(QStringLiteral("TeskConsole.EXE"), QStringLiteral("teskconsole.exe")));
  QVERIFY(SameText(QStringLiteral("Ärger"), QStringLiteral("äRGER")));
  QVERIFY(!SameText(QStringLiteral("a"), QStringLiteral("a ")));
  QVERIFY(CompareText(QStringLiteral("abc"), QStringLiteral("ABD")) < 0);
  QCOMPARE(CompareText(QStringLiteral("AbC"), QStringLiteral("aBc")), 0);
}

void tst_StringRules::sameTextHash_data() {
  QTest::addColumn<QString>("a");
  QTest::addColumn<QString>("b");
  QTest::addColumn<bool>("same");
  QTest::newRow("ASCII") << QStringLiteral("ROOT\\Tun") << QStringLiteral("root\\tUN") << true;
  QTest::newRow("umlaut") << QStringLiteral("Ärger") << QStringLiteral("äRGER") << true;
  QTest::newRow("final sigma") << QStringLiteral("ΟΔΟΣ") << QStringLiteral("οδος") << true;
  QTest::newRow("Kelvin sign") << QStringLiteral("\u212A") << QStringLiteral("k") << true;
  QTest::newRow("letters beyond the BMP")
      << QString::fromUcs4(U"\U00010400x") << QString::fromUcs4(U"\U00010428X") << true;
  const QChar High(0xD801), Low(0xDC00);
  QTest::newRow("lone surrogates")
      << High + QStringLiteral("a") + Low << High + QStringLiteral("A") + Low << true;
  QTest::newRow("sharp s is not ss")
      << QStringLiteral("straße") << QStringLiteral("STRASSE") << false;
  QTest::newRow("trailing blank") << QStringLiteral("a") << QStringLiteral("a ") << false;
  QTest::newRow("other letter") << QStringLiteral("eth0") << QStringLiteral("eth1") << false;
}

void tst_StringRules::sameTextHash() {
  QFETCH(QString, a);
  QFETCH(QString, b);
  QFETCH(bool, same);
  QCOMPARE(SameText(a, b), same);
  QCOMPARE(SameTextHash(a) == SameTextHash(b), same);
}

void tst_StringRules::commaText_data() {
  QTest::addColumn<QStringList>("items");
  QTest::addColumn<QString>("text");
  QTest::newRow("no items") << QStringList() << QString();
  QTest::newRow("one empty item") << QStringList{QString()} << QStringLiteral("\"\"");
  QTest::newRow("addresses") << QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")}
                             << QStringLiteral("10.0.0.1,10.0.0.2");
  QTest::newRow("blank, comma and quote are quoted")
      << QStringList{QStringLiteral("a b"), QStringLiteral("c,d"), QStringLiteral("say \"hi\"")}
      << QStringLiteral("\"a b\",\"c,d\",\"say \"\"hi\"\"\"");
  QTest::newRow("control character is quoted")
      << QStringList{QStringLiteral("a\tb")} << QStringLiteral("\"a\tb\"");
  QTest::newRow("empty items among others stay unquoted")
      << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")} << QStringLiteral("a,,b");
  QTest::newRow("single quotes are plain")
      << QStringList{QStringLiteral("'x'")} << QStringLiteral("'x'");
}

void tst_StringRules::commaText() {
  QFETCH(QStringList, items);
  QFETCH(QString, text);
  QCOMPARE(CommaText(items), text);
  if (!items.isEmpty())
    QCOMPARE(SplitCommaText(text), items);
}

void tst_StringRules::splitCommaText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("items");
  QTest::newRow("empty") << QString() << QStringList();
  QTest::newRow("blanks only") << QStringLiteral("   ") << QStringList();
  QTest::newRow("trailing comma adds an empty item")
      << QStringLiteral("a.example,") << QStringList{QStringLiteral("a.example"), QString()};
  QTest::newRow("blanks separate outside quotes")
      << QStringLiteral("a b , c")
      << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
  QTest::newRow("quoted item keeps blanks and commas")
      << QStringLiteral("\"a, b\",c") << QStringList{QStringLiteral("a, b"), QStringLiteral("c")};
  QTest::newRow("text after a closing quote starts a new item")
      << QStringLiteral("\"a\"b") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
  QTest::newRow("unterminated quote runs to the end")
      << QStringLiteral("\"abc,def") << QStringList{QStringLiteral("abc,def")};
  QTest::newRow("text ends at NUL") << QStringLiteral("a,b") + QChar(0) + QStringLiteral(",c")
                                    << QStringList{QStringLiteral("a"), QStringLiteral("b")};
  QTest::newRow("two commas") << QStringLiteral("a,,b")
                              << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
}

void tst_StringRules::splitCommaText() {
  QFETCH(QString, text);
  QFETCH(QStringList, items);
  QCOMPARE(SplitCommaText(text), items);
}

void tst_StringRules::removeEnclosingQuotes_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("result");
  QTest::newRow("double") << QStringLiteral("\"a,b\"") << QStringLiteral("a,b");
  QTest::newRow("single") << QStringLiteral("'a'") << QStringLiteral("a");
  QTest::newRow("only one pair") << QStringLiteral("\"\"a\"\"") << QStringLiteral("\"a\"");
  QTest::newRow("mixed quotes stay") << QStringLiteral("\"a'") << QStringLiteral("\"a'");
  QTest::newRow("lone quote stays") << QStringLiteral("\"") << QStringLiteral("\"");
  QTest::newRow("pair of quotes gives empty") << QStringLiteral("''") << QString();
  QTest::newRow("unquoted") << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.1");
}

void tst_StringRules::removeEnclosingQuotes() {
  QFETCH(QString, text);
  QFETCH(QString, result);
  QCOMPARE(RemoveEnclosingQuotes(text), result);
}

void tst_StringRules::strToInt_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::newRow("plain") << QStringLiteral("4228") << 4228;
  QTest::newRow("signed") << QStringLiteral("-12") << -12;
  QTest::newRow("blank around") << QStringLiteral(" 1") << -1;
  QTest::newRow("text") << QStringLiteral("http") << -1;
  QTest::newRow("trailing text") << QStringLiteral("80x") << -1;
  QTest::newRow("overflow") << QStringLiteral("99999999999") << -1;
  QTest::newRow("empty") << QString() << -1;
}

void tst_StringRules::strToInt() {
  QFETCH(QString, text);
  QFETCH(int, value);
  QCOMPARE(StrToIntDef(text, -1), value);
}

void tst_StringRules::controlCharacters_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("replaced");
  QTest::addColumn<QString>("escaped");
  QTest::newRow("plain text") << QStringLiteral("/var/log/kelvane")
                              << QStringLiteral("/var/log/kelvane")
                              << QStringLiteral("/var/log/kelvane");
  QTest::newRow("line breaks and TAB")
      << QStringLiteral("a\tb\r\nc") << QStringLiteral("a\uFFFDb\uFFFD\uFFFDc")
      << QStringLiteral("a\\tb\\r\\nc");
  QTest::newRow("ESC and NUL") << QStringLiteral("/tmp/\x1b[2J") + QChar(0)
                               << QStringLiteral("/tmp/\uFFFD[2J\uFFFD")
                               << QStringLiteral("/tmp/\\x1b[2J\\x00");
  QTest::newRow("DEL and C1") << QStringLiteral("\x7f\u0085\u009f")
                              << QStringLiteral("\uFFFD\uFFFD\uFFFD")
                              << QStringLiteral("\\x7f\\x85\\x9f");
  QTest::newRow("beyond the controls")
      << QStringLiteral(" ~\u00a0\u00e9\u4e2d") << QStringLiteral(" ~\u00a0\u00e9\u4e2d")
      << QStringLiteral(" ~\u00a0\u00e9\u4e2d");
}

void tst_StringRules::controlCharacters() {
  QFETCH(QString, input);
  QFETCH(QString, replaced);
  QFETCH(QString, escaped);
  QCOMPARE(ReplaceControlCharacters(input), replaced);
  QCOMPARE(EscapeControlCharacters(input), escaped);
}

KELVANE_TEST_MAIN(tst_StringRules)
#include "tst_StringRules.moc"
