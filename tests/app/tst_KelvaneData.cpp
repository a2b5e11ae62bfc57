// The information tree's nodes, their value rule, deep copy, and the text
// export behind "Copy to clipboard" and --print.

#include "support/TestMain.h"

#include "app/KelvaneData.h"

#include <QFile>
#include <QTest>

namespace {
class TOtherPersistent : public TPersistent {};

std::unique_ptr<TKelvaneData> group(const QString& ACaption,
                                    const QList<QPair<QString, QString>>& ALines) {
  auto Group = std::make_unique<TKelvaneData>();
  Group->SetCaption(ACaption);
  for (const auto& [Caption, Value] : ALines)
    Group->AddSubItem(Caption, Value);
  return Group;
}
} // namespace

class tst_KelvaneData : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void valueRule_data();
  void valueRule();
  void newNodeIsEmpty();
  void assignAppendsIndependentCopies();
  void assignFromOtherClassIsIgnored();
  void exportText_data();
  void exportText();
  void exportMatchesGoldenText();
};

void tst_KelvaneData::valueRule_data() {
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("shownCaption"); // empty: the caption as given
  QTest::newRow("empty") << QStringLiteral("User") << QString() << NotAvailable << QString();
  QTest::newRow("spaces only") << QStringLiteral("User") << QStringLiteral("   ") << NotAvailable
                               << QString();
  QTest::newRow("tab, CR and LF only")
      << QStringLiteral("User") << QStringLiteral("\t\r\n") << NotAvailable << QString();
  QTest::newRow("NUL and control characters only")
      << QStringLiteral("User") << QString(QChar(0)) + QChar(31) << NotAvailable << QString();
  QTest::newRow("blanks around are kept") << QStringLiteral("User") << QStringLiteral(" anna ")
                                          << QStringLiteral(" anna ") << QString();
  QTest::newRow("empty caption stays")
      << QString() << QStringLiteral("x") << QStringLiteral("x") << QString();
  QTest::newRow("caption is not trimmed")
      << QStringLiteral("  IP ") << QStringLiteral("1") << QStringLiteral("1") << QString();
  QTest::newRow("no-break space is a value")
      << QStringLiteral("V") << QStringLiteral("\u00a0") << QStringLiteral("\u00a0") << QString();
  // A value cannot forge a line of its own or reach the terminal as a
  // sequence: every control character inside it is replaced.
  QTest::newRow("a forged line in USERDOMAIN")
      << QStringLiteral("Domain") << QStringLiteral("d\n\tIP Address:\t6.6.6.6")
      << QStringLiteral("d\uFFFD\uFFFDIP Address:\uFFFD6.6.6.6") << QString();
  QTest::newRow("CR and NUL inside")
      << QStringLiteral("User") << QStringLiteral("a\rb") + QChar(0) + u'c'
      << QStringLiteral("a\uFFFDb\uFFFDc") << QString();
  QTest::newRow("an escape sequence")
      << QStringLiteral("Operating System") << QStringLiteral("\x1b[31mred\x1b[0m")
      << QStringLiteral("\uFFFD[31mred\uFFFD[0m") << QString();
  QTest::newRow("DEL and C1 controls (NEL, CSI)")
      << QStringLiteral("Description") << QStringLiteral("a\x7f b\u0085c\u009b1m")
      << QStringLiteral("a\uFFFD b\uFFFDc\uFFFD1m") << QString();
  QTest::newRow("controls at the ends are replaced, not trimmed")
      << QStringLiteral("Description") << QStringLiteral("\x01tn\n")
      << QStringLiteral("\uFFFDtn\uFFFD") << QString();
  QTest::newRow("the first character beyond C1 stays")
      << QStringLiteral("V") << QStringLiteral("\u00a0x\u00e9") << QStringLiteral("\u00a0x\u00e9")
      << QString();
  QTest::newRow("a caption with a TAB and a line break")
      << QStringLiteral("IP\tAddress\n") << QStringLiteral("1") << QStringLiteral("1")
      << QStringLiteral("IP\uFFFDAddress\uFFFD");
}

void tst_KelvaneData::valueRule() {
  QFETCH(QString, caption);
  QFETCH(QString, value);
  QFETCH(QString, shown);
  QFETCH(QString, shownCaption);
  TKelvaneData Group;
  Group.AddSubItem(caption, value);
  QCOMPARE(Group.SubItems()->Count(), 1);
  QCOMPARE(Group.SubItems()->First()->Caption(), shownCaption.isEmpty() ? caption : shownCaption);
  QCOMPARE(Group.SubItems()->First()->Value(), shown);
  Group.SetCaption(caption);
  QCOMPARE(Group.Caption(), shownCaption.isEmpty() ? caption : shownCaption);
}

void tst_KelvaneData::newNodeIsEmpty() {
  TKelvaneData Node;
  QVERIFY(Node.Caption().isEmpty());
  QVERIFY(Node.Value().isEmpty());
  QVERIFY(Node.SubItems());
  QCOMPARE(Node.SubItems()->Count(), 0);
}

void tst_KelvaneData::assignAppendsIndependentCopies() {
  auto Source =
      group(QStringLiteral("Network Interface #1"), {{QStringLiteral("a"), QStringLiteral("1")},
                                                     {QStringLiteral("b"), QString()},
                                                     {QStringLiteral("c"), QStringLiteral("3")}});
  Source->SubItems()->First()->AddSubItem(QStringLiteral("deep"), QStringLiteral("d"));
  TKelvaneData Target;
  Target.AddSubItem(QStringLiteral("old"), QStringLiteral("0"));
  Target.Assign(Source.get());
  Source.reset();

  QCOMPARE(Target.Caption(), QStringLiteral("Network Interface #1"));
  QStringList Lines;
  for (const TKelvaneData* Line : *Target.SubItems())
    Lines << Line->Caption() + u'=' + Line->Value();
  QCOMPARE(Lines, (QStringList{QStringLiteral("old=0"), QStringLiteral("a=1"),
                               QStringLiteral("b=not available"), QStringLiteral("c=3")}));
  const TKelvaneData* Copied = Target.SubItems()->Items(1);
  QCOMPARE(Copied->SubItems()->Count(), 1);
  QCOMPARE(Copied->SubItems()->First()->Value(), QStringLiteral("d"));
}

void tst_KelvaneData::assignFromOtherClassIsIgnored() {
  TKelvaneData Target;
  Target.SetCaption(QStringLiteral("keep"));
  Target.AddSubItem(QStringLiteral("a"), QStringLiteral("1"));
  TOtherPersistent Other;
  Target.Assign(&Other);
  Target.Assign(nullptr);
  QCOMPARE(Target.Caption(), QStringLiteral("keep"));
  QCOMPARE(Target.SubItems()->Count(), 1);
}

void tst_KelvaneData::exportText_data() {
  QTest::addColumn<int>("shape");
  QTest::addColumn<QString>("text");
  QTest::newRow("no groups") << 0 << QString();
  QTest::newRow("group without lines") << 1 << QStringLiteral("Empty\r\n\r\n\r\n");
  QTest::newRow("a line break inside a value cannot split its line")
      << 2 << QStringLiteral("G\r\n\tNote:\ttwo\uFFFD\uFFFDlines\r\n\r\n\r\n");
  QTest::newRow("only two levels are written")
      << 3 << QStringLiteral("G\r\n\tLine:\tv\r\n\r\n\r\n");
}

void tst_KelvaneData::exportText() {
  QFETCH(int, shape);
  QFETCH(QString, text);
  TObjectList<TKelvaneData> Groups;
  if (shape == 1) {
    Groups.Add(group(QStringLiteral("Empty"), {}));
  } else if (shape == 2) {
    Groups.Add(
        group(QStringLiteral("G"), {{QStringLiteral("Note"), QStringLiteral("two\r\nlines")}}));
  } else if (shape == 3) {
    auto G = group(QStringLiteral("G"), {{QStringLiteral("Line"), QStringLiteral("v")}});
    G->SetValue(QStringLiteral("group value is not exported"));
    G->SubItems()->First()->AddSubItem(QStringLiteral("Grandchild"), QStringLiteral("hidden"));
    Groups.Add(std::move(G));
  }
  QCOMPARE(KelvaneExportText(Groups), text);
}

void tst_KelvaneData::exportMatchesGoldenText() {
  TObjectList<TKelvaneData> Groups;
  Groups.Add(group(QStringLiteral("General Information"),
                   {{QStringLiteral("Computer Name"), QStringLiteral("HOST1")},
                    {QStringLiteral("User"), QStringLiteral(" ")}}));
  Groups.Add(group(QStringLiteral("Network Interface #1"),
                   {{QStringLiteral("Description"), QStringLiteral("  eth0 ")},
                    {QStringLiteral("IPv4 Address"), QStringLiteral("10.0.0.2")}}));
  QFile Golden(QFINDTESTDATA("../fixtures/app/two-groups.txt"));
  QVERIFY(Golden.open(QIODevice::ReadOnly));
  QCOMPARE(KelvaneExportText(Groups).toUtf8(), Golden.readAll());
}

KELVANE_TEST_MAIN(tst_KelvaneData)
#include "tst_KelvaneData.moc"
