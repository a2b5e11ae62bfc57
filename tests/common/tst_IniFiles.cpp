// The in-memory INI file: case rules, comments, encodings and bounds.

#include "support/TestMain.h"

#include "common/IniFiles.h"

#include <QTest>

class tst_IniFiles : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void lookups_data();
  void lookups();
};

void tst_IniFiles::lookups_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QString>("section");
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("value"); // "(default)" when not found
  const QByteArray Ini =
      "; translator\r\n[IPEnabled]\r\nTrue = Yes \r\n# note\r\n[ipenabled]\r\nFalse=No\r\n"
      "[Other]\r\nTrue=Ja\r\nTrue=second\r\n";
  QTest::newRow("exact") << Ini << QStringLiteral("IPEnabled") << QStringLiteral("True")
                         << QStringLiteral("Yes");
  QTest::newRow("any letter case")
      << Ini << QStringLiteral("ipENABLED") << QStringLiteral("TRUE") << QStringLiteral("Yes");
  QTest::newRow("a repeated section adds to the first")
      << Ini << QStringLiteral("IPEnabled") << QStringLiteral("False") << QStringLiteral("No");
  QTest::newRow("the first of a repeated key")
      << Ini << QStringLiteral("Other") << QStringLiteral("true") << QStringLiteral("Ja");
  QTest::newRow("missing key") << Ini << QStringLiteral("Other") << QStringLiteral("Maybe")
                               << QStringLiteral("(default)");
  QTest::newRow("missing section")
      << Ini << QStringLiteral("None") << QStringLiteral("True") << QStringLiteral("(default)");
  QTest::newRow("UTF-16 with its mark")
      << QByteArray("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0", 16) << QStringLiteral("s")
      << QStringLiteral("K") << QStringLiteral("\u00e9");
  QTest::newRow("keys outside a section are ignored")
      << QByteArray("k=v\n[S]\n") << QStringLiteral("S") << QStringLiteral("k")
      << QStringLiteral("(default)");

  // As many sections as the largest file holds, and a section of many keys:
  // each read in time proportional to the file (a lookup among all sections
  // per section made this one take minutes).
  QByteArray ManySections;
  for (int I = 0; I < 115000; ++I)
    ManySections += "[s" + QByteArray::number(I) + "]\n";
  ManySections += "k=last\n[S0]\nk=again\n";
  QTest::newRow("115,000 sections in 1 MiB")
      << ManySections << QStringLiteral("S114999") << QStringLiteral("K") << QStringLiteral("last");
  QTest::newRow("115,000 sections: a repeated one adds to the first")
      << ManySections << QStringLiteral("s0") << QStringLiteral("k") << QStringLiteral("again");
  QByteArray ManyKeys = "[S]\n";
  for (int I = 0; I < 80000; ++I)
    ManyKeys += "k" + QByteArray::number(I) + '=' + QByteArray::number(I) + '\n';
  ManyKeys += "K0=second\n";
  QTest::newRow("80,000 keys in a section")
      << ManyKeys << QStringLiteral("s") << QStringLiteral("K79999") << QStringLiteral("79999");
  QTest::newRow("80,000 keys: the first of a repeated key")
      << ManyKeys << QStringLiteral("s") << QStringLiteral("k0") << QStringLiteral("0");
  QTest::newRow("too large") << QByteArray("[S]\nk=v\n") + QByteArray(MaxIniBytes, ' ')
                             << QStringLiteral("S") << QStringLiteral("k")
                             << QStringLiteral("(default)");
}

void tst_IniFiles::lookups() {
  QFETCH(QByteArray, text);
  QFETCH(QString, section);
  QFETCH(QString, key);
  QFETCH(QString, value);
  TMemIniFile Ini;
  Ini.LoadFromBytes(text);
  QCOMPARE(Ini.ReadString(section, key, QStringLiteral("(default)")), value);
}

KELVANE_TEST_MAIN(tst_IniFiles)
#include "tst_IniFiles.moc"
