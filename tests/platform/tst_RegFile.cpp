// The .reg reader: well-formed and hostile inputs, each with the hive it
// leaves and the warnings it gives.

#include "support/TestMain.h"

#include "platform/RegFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

QString typeName(DWORD AType) {
  switch (AType) {
  case REG_NONE:
    return QStringLiteral("NONE");
  case REG_SZ:
    return QStringLiteral("SZ");
  case REG_EXPAND_SZ:
    return QStringLiteral("EXPAND_SZ");
  case REG_BINARY:
    return QStringLiteral("BINARY");
  case REG_DWORD:
    return QStringLiteral("DWORD");
  case REG_MULTI_SZ:
    return QStringLiteral("MULTI_SZ");
  case REG_QWORD:
    return QStringLiteral("QWORD");
  default:
    return QStringLiteral("TYPE%1").arg(AType);
  }
}

QString valueText(const TRegValue& AValue) {
  std::uint32_t D = 0;
  std::uint64_t Q = 0;
  switch (AValue.Type) {
  case REG_SZ:
  case REG_EXPAND_SZ:
    return u'"' + AValue.AsString() + u'"';
  case REG_MULTI_SZ:
    return AValue.AsMultiString().join(u'|');
  case REG_DWORD:
    return AValue.AsDword(D) ? QString::number(D) : QStringLiteral("?");
  case REG_QWORD:
    return AValue.AsQword(Q) ? QString::number(Q) : QStringLiteral("?");
  default:
    return QString::fromLatin1(AValue.Data.toHex(','));
  }
}

// One line per key ("HKEY_LOCAL_MACHINE\A\B") and per value ("  name TYPE data"),
// in stored order.
QStringList dump(const TRegHive& AHive) {
  QStringList Lines;
  for (TRegHandle Root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS,
                          HKEY_CURRENT_CONFIG}) {
    std::vector<std::pair<const TRegKey*, QString>> Stack;
    auto pushChildren = [&Stack](const TRegKey& AKey, const QString& APath) {
      for (qsizetype I = AKey.SubKeyCount() - 1; I >= 0; --I)
        Stack.emplace_back(&AKey.SubKeyAt(I), APath + u'\\' + AKey.SubKeyAt(I).Name());
    };
    const TRegKey* RootKey = AHive.Root(Root);
    pushChildren(*RootKey, RootKey->Name());
    while (!Stack.empty()) {
      auto [Key, Path] = Stack.back();
      Stack.pop_back();
      Lines << Path;
      for (qsizetype I = 0; I < Key->ValueCount(); ++I) {
        const QString& Name = Key->ValueNameAt(I);
        Lines << QStringLiteral("  %1 %2 %3")
                     .arg(Name.isEmpty() ? QStringLiteral("@") : Name,
                          typeName(Key->ValueAt(I).Type), valueText(Key->ValueAt(I)));
      }
      pushChildren(*Key, Path);
    }
  }
  return Lines;
}

QByteArray utf16le(const QString& AText) {
  QByteArray Bytes("\xFF\xFE", 2);
  for (QChar C : AText) {
    Bytes.append(static_cast<char>(C.unicode() & 0xFF));
    Bytes.append(static_cast<char>(C.unicode() >> 8));
  }
  return Bytes;
}

const QByteArray Header = "Windows Registry Editor Version 5.00\r\n\r\n";

// "<count> <first>..<last>" of the subkeys of HKLM and of the values of HKLM\A.
QString hiveShape(const TRegHive& AHive) {
  auto range = [](qsizetype ACount, auto AName) {
    return ACount == 0 ? QStringLiteral("0")
                       : QStringLiteral("%1 %2..%3").arg(ACount).arg(AName(0), AName(ACount - 1));
  };
  const TRegKey* Root = AHive.Root(HKEY_LOCAL_MACHINE);
  QString Result = QStringLiteral("keys ") + range(Root->SubKeyCount(), [Root](qsizetype I) {
                     return Root->SubKeyAt(I).Name();
                   });
  if (const TRegKey* A = Root->SubKey(QStringLiteral("A")))
    Result += QStringLiteral(", values ") +
              range(A->ValueCount(), [A](qsizetype I) { return A->ValueNameAt(I); });
  return Result;
}

} // namespace

class tst_RegFile : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void read_data();
  void read();
  void volumes_data();
  void volumes();
  void fileSources_data();
  void fileSources();
  void laterTextAppliesOnTop();
  void oversizedInputIsRefused();
};

void tst_RegFile::read_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QStringList>("hive");
  QTest::addColumn<QStringList>("warnings");

  const QString K = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Test");
  QTest::newRow("every value type") << Header + "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
                                                "\"S\"=\"a \\\"q\\\" \\\\ b\"\r\n"
                                                "@=\"default\"\r\n"
                                                "\"D\"=dword:0000002a\r\n"
                                                "\"B\"=hex:01,02,ff\r\n"
                                                "\"E\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                                "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                                "\"Q\"=hex(b):00,00,00,00,01,00,00,00\r\n"
                                                "\"N\"=hex(0):\r\n"
                                                "\"R\"=hex(8):00,01\r\n"
                                                "\"Empty\"=\"\"\r\n"
                                                "\"Short\"=hex:1,a,\r\n"
                                    << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\Software"),
                                                   K,
                                                   QStringLiteral("  S SZ \"a \"q\" \\ b\""),
                                                   QStringLiteral("  @ SZ \"default\""),
                                                   QStringLiteral("  D DWORD 42"),
                                                   QStringLiteral("  B BINARY 01,02,ff"),
                                                   QStringLiteral("  E EXPAND_SZ \"%A%\""),
                                                   QStringLiteral("  M MULTI_SZ a|b"),
                                                   QStringLiteral("  Q QWORD 4294967296"),
                                                   QStringLiteral("  N NONE "),
                                                   QStringLiteral("  R TYPE8 00,01"),
                                                   QStringLiteral("  Empty SZ \"\""),
                                                   QStringLiteral("  Short BINARY 01,0a")}
                                    << QStringList();
  QTest::newRow("utf-16 le with byte-order mark")
      << utf16le(QStringLiteral(
             "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Ünï]\r\n"
             "\"Wert\"=\"Grüße €\"\r\n"))
      << QStringList{QStringLiteral("HKEY_CURRENT_USER\\Ünï"),
                     QStringLiteral("  Wert SZ \"Grüße €\"")}
      << QStringList();
  QTest::newRow("utf-8 with byte-order mark and LF line ends")
      << QByteArray("\xEF\xBB\xBFREGEDIT4\n[HKLM\\A]\n\"V\"=\"\xC3\xA9\"\n")
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  V SZ \"é\"")}
      << QStringList();
  QTest::newRow("abbreviated roots and nested keys in order")
      << Header + "[HKCU\\B]\r\n[HKLM\\Z]\r\n[HKLM\\A\\C]\r\n[HKLM\\A\\B]\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\Z"),
                     QStringLiteral("HKEY_LOCAL_MACHINE\\A"),
                     QStringLiteral("HKEY_LOCAL_MACHINE\\A\\C"),
                     QStringLiteral("HKEY_LOCAL_MACHINE\\A\\B"),
                     QStringLiteral("HKEY_CURRENT_USER\\B")}
      << QStringList();
  QTest::newRow("names compare without case; first spelling kept")
      << Header + "[HKLM\\Soft]\r\n\"Val\"=dword:1\r\n[hklm\\SOFT\\x]\r\n[HKEY_local_machine\\soft]"
                  "\r\n\"VAL\"=dword:2\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\Soft"), QStringLiteral("  Val DWORD 2"),
                     QStringLiteral("HKEY_LOCAL_MACHINE\\Soft\\x")}
      << QStringList();
  QTest::newRow("continued hex list")
      << Header +
             "[HKLM\\A]\r\n\"B\"=hex:01,02,\\\r\n  03,04,\\\r\n  05\r\n\"After\"=dword:00000001\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"),
                     QStringLiteral("  B BINARY 01,02,03,04,05"), QStringLiteral("  After DWORD 1")}
      << QStringList();
  QTest::newRow("deletions of keys and values")
      << Header + "[HKLM\\A\\B\\C]\r\n\"V\"=\"x\"\r\n[HKLM\\A]\r\n\"Gone\"=\"y\"\r\n\"Gone\"=-\r\n"
                  "[-HKLM\\A\\B]\r\n\"Ignored\"=\"z\"\r\n[-HKLM\\Missing\\Key]\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A")} << QStringList();
  QTest::newRow("comments and blank lines")
      << Header +
             "; a comment\r\n\r\n[HKLM\\A]\r\n   ; indented comment\r\n\"V\"=dword:00000010\r\n\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  V DWORD 16")}
      << QStringList();
  QTest::newRow("missing header: nothing applied")
      << QByteArray("[HKLM\\A]\n\"V\"=dword:1\n") << QStringList()
      << QStringList{QStringLiteral(
             "t.reg:1: not a registry file: the first line must be \"Windows Registry "
             "Editor Version 5.00\" or \"REGEDIT4\"")};
  QTest::newRow("empty input") << QByteArray() << QStringList() << QStringList();
  // Found by fuzzing: a digit run this long overflowed while it was read.
  QTest::newRow("a hexadecimal run far longer than a byte")
      << Header + "[HKLM\\A]\r\n\"B\"=hex:" + QByteArray(40, 'f') + "\r\n\"C\"=dword:2\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  C DWORD 2")}
      << QStringList{QStringLiteral("t.reg:4: malformed hexadecimal list")};
  QTest::newRow("malformed lines skipped, the rest applies")
      << Header + "\"Early\"=dword:1\r\n"        // line 3
                  "[HKLM\\A]\r\n"                // 4
                  "\"Open\"=\"abc\r\n"           // 5
                  "\"Trunc\"=hex:01,0g\r\n"      // 6
                  "\"Kind\"=qword:1\r\n"         // 7
                  "\"Paren\"=hex(zz):00\r\n"     // 8
                  "\"Long\"=dword:123456789\r\n" // 9
                  "\"Junk\"=\"a\" b\r\n"         // 10
                  "\"NoEq\" dword:1\r\n"         // 11
                  "\"Name\r\n"                   // 12
                  "garbage\r\n"                  // 13
                  "[HKLM\\A\r\n"                 // 14
                  "[HKEY_NOWHERE\\X]\r\n"        // 15
                  "\"Dropped\"=dword:1\r\n"      // 16
                  "[HKLM\\A]\r\n"                // 17
                  "\"Good\"=dword:00000007\r\n"  // 18
                  "\"Odd\"=hex:001,02\r\n"       // 19
                  "\"Path\"=\"C:\\\r\n"          // 20
                  "\"Next\"=dword:8\r\n"         // 21
                  "\"Cut\"=hex:01,\\\r\n"        // 22
                  "[HKEY_\x1b[2J]\r\n"           // 23
                  "[HKLM\\A]\r\n"                // 24
                  "\"Tail\"=hex:01,\\\r\n"       // 25
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  Good DWORD 7"),
                     QStringLiteral("  Next DWORD 8")}
      << QStringList{QStringLiteral("t.reg:3: value outside a key"),
                     QStringLiteral("t.reg:5: string without closing quote"),
                     QStringLiteral("t.reg:6: malformed hexadecimal list"),
                     QStringLiteral("t.reg:7: unknown value type"),
                     QStringLiteral("t.reg:8: unknown value type"),
                     QStringLiteral("t.reg:9: dword needs one to eight hexadecimal digits"),
                     QStringLiteral("t.reg:10: text after the closing quote"),
                     QStringLiteral("t.reg:11: \"=\" expected after the value name"),
                     QStringLiteral("t.reg:12: value name without closing quote"),
                     QStringLiteral("t.reg:13: unexpected text"),
                     QStringLiteral("t.reg:14: key line without closing \"]\""),
                     QStringLiteral("t.reg:15: unknown root key in \"HKEY_NOWHERE\\X\""),
                     QStringLiteral("t.reg:19: malformed hexadecimal list"),
                     QStringLiteral("t.reg:20: string without closing quote"),
                     QStringLiteral("t.reg:22: hexadecimal list continued by \"\\\" but not by a "
                                    "next line"),
                     QStringLiteral("t.reg:23: unknown root key in \"HKEY_?[2J\""),
                     QStringLiteral("t.reg:25: hexadecimal list continued by \"\\\" but not by a "
                                    "next line")};
  QTest::newRow("invalid utf-8 becomes replacement characters")
      << Header + "[HKLM\\A]\r\n\"V\"=\"a\xC3\x28\xFF"
                  "b\"\r\n"
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"),
                     QStringLiteral("  V SZ \"a\uFFFD(\uFFFDb\"")}
      << QStringList();
  QTest::newRow("NUL bytes end the string value")
      << Header + QByteArray("[HKLM\\A]\r\n\"V\"=\"a\0b\"\r\n\"W\"=dword:1\r\n", 34)
      << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  V SZ \"a\""),
                     QStringLiteral("  W DWORD 1")}
      << QStringList();
  QByteArray Deep = Header + "[HKLM";
  for (int I = 0; I < 100000; ++I)
    Deep += "\\a";
  Deep += "]\r\n\"V\"=dword:1\r\n[HKLM\\Ok]\r\n";
  QTest::newRow("deeply nested key path refused")
      << Deep << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\Ok")}
      << QStringList{QStringLiteral("t.reg:3: key path deeper than 512 levels")};
  QByteArray Huge = Header + "[HKLM\\A]\r\n\"Big\"=hex:";
  Huge += QByteArray(1024, 'x') + ",";
  Huge += QByteArray(10 * 1024 * 1024, ' ') + "\r\n\"Small\"=dword:2\r\n";
  QTest::newRow("huge line") << Huge
                             << QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"),
                                            QStringLiteral("  Small DWORD 2")}
                             << QStringList{QStringLiteral("t.reg:4: malformed hexadecimal list")};
}

void tst_RegFile::read() {
  QFETCH(QByteArray, input);
  QFETCH(QStringList, hive);
  QFETCH(QStringList, warnings);
  TRegHive Hive;
  QCOMPARE(Hive.Apply(input, QStringLiteral("t.reg")), warnings);
  // Joined, so a failure shows the texts.
  QCOMPARE(dump(Hive).join(u'\n'), hive.join(u'\n'));
}

// Many names in one key, bulk deletions and floods of bad lines: each costs
// time and memory in proportion to the input, and the caps hold.
void tst_RegFile::volumes_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QString>("shape");
  QTest::addColumn<QStringList>("warnings");

  QByteArray Many = Header + "[HKLM\\A]\r\n";
  for (int I = 0; I < 20000; ++I)
    Many += "\"V" + QByteArray::number(I) + "\"=dword:1\r\n";
  for (int I = 1; I < 20000; ++I)
    Many += "[HKLM\\K" + QByteArray::number(I) + "]\r\n";
  QTest::newRow("thousands of keys and values in stored order")
      << Many << QStringLiteral("keys 20000 A..K19999, values 20000 V0..V19999") << QStringList();

  QByteArray Deleted = Many + "[HKLM\\A]\r\n";
  for (int I = 0; I < 19999; ++I)
    Deleted += "\"v" + QByteArray::number(I) + "\"=-\r\n";
  for (int I = 1; I < 19999; ++I)
    Deleted += "[-hklm\\k" + QByteArray::number(I) + "]\r\n";
  Deleted += "[HKLM\\A]\r\n\"V0\"=dword:2\r\n";
  QTest::newRow("bulk deletions keep the order of what is left")
      << Deleted << QStringLiteral("keys 2 A..K19999, values 2 V19999..V0") << QStringList();

  QByteArray Budget = Header;
  for (qsizetype I = 0; I < MaxRegItems; ++I)
    Budget += "[HKLM\\K" + QByteArray::number(I) + "]\r\n";
  Budget += "[HKLM\\A]\r\n\"V\"=dword:1\r\n";
  QTest::newRow("one text creates a bounded number of keys and values")
      << Budget << QStringLiteral("keys %1 K0..K%2").arg(MaxRegItems).arg(MaxRegItems - 1)
      << QStringList{QStringLiteral("t.reg:%1: more than %2 keys and values; the rest is not read")
                         .arg(MaxRegItems + 3)
                         .arg(MaxRegItems)};

  QByteArray Flood = Header + "[HKLM\\A]\r\n";
  QStringList FloodWarnings;
  for (int I = 0; I < 1000; ++I) {
    Flood += "junk\r\n";
    if (I < MaxRegWarnings)
      FloodWarnings << QStringLiteral("t.reg:%1: unexpected text").arg(I + 4);
  }
  FloodWarnings << QStringLiteral("t.reg:%1: more than %2 warnings; the others are left out")
                       .arg(MaxRegWarnings + 4)
                       .arg(MaxRegWarnings);
  Flood += "\"Last\"=dword:1\r\n";
  QTest::newRow("a flood of bad lines gives bounded warnings")
      << Flood << QStringLiteral("keys 1 A..A, values 1 Last..Last") << FloodWarnings;
}

void tst_RegFile::volumes() {
  QFETCH(QByteArray, input);
  QFETCH(QString, shape);
  QFETCH(QStringList, warnings);
  TRegHive Hive;
  QCOMPARE(Hive.Apply(input, QStringLiteral("t.reg")), warnings);
  QCOMPARE(hiveShape(Hive), shape);
}

void tst_RegFile::fileSources_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("shape");
  QTest::addColumn<QString>("warning");

  QTest::newRow("regular file") << QStringLiteral("file")
                                << QStringLiteral("keys 1 A..A, values 1 V..V") << QString();
  QTest::newRow("missing file is an empty hive, silently")
      << QStringLiteral("missing") << QStringLiteral("keys 0") << QString();
#ifndef _WIN32
  QTest::newRow("named pipe is not opened for reading")
      << QStringLiteral("fifo") << QStringLiteral("keys 0")
      << QStringLiteral("<path>:0: not a regular file, not read");
#endif
  QTest::newRow("directory") << QStringLiteral("directory") << QStringLiteral("keys 0")
                             << QStringLiteral("<path>:0: not a regular file, not read");
  QTest::newRow("file above the size cap")
      << QStringLiteral("large") << QStringLiteral("keys 0")
      << QStringLiteral("<path>:0: file larger than %1 bytes, not read").arg(MaxRegFileBytes);
}

void tst_RegFile::fileSources() {
  QFETCH(QString, kind);
  QFETCH(QString, shape);
  QFETCH(QString, warning);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  const QString Path = Dir.filePath(QStringLiteral("machine.reg"));
  if (kind == u"file" || kind == u"large") {
    QFile File(Path);
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write(Header + "[HKLM\\A]\r\n\"V\"=dword:1\r\n");
    // Sparse: the size counts, not the bytes on disk.
    if (kind == u"large")
      QVERIFY(File.resize(MaxRegFileBytes + 1));
#ifndef _WIN32
  } else if (kind == u"fifo") {
    QCOMPARE(::mkfifo(QFile::encodeName(Path).constData(), 0600), 0);
#endif
  } else if (kind == u"directory") {
    QVERIFY(QDir(Dir.path()).mkdir(QStringLiteral("machine.reg")));
  }
  TRegHive Hive;
  QCOMPARE(Hive.ApplyFile(Path),
           warning.isEmpty()
               ? QStringList()
               : QStringList{QString(warning).replace(QStringLiteral("<path>"), Path)});
  QCOMPARE(hiveShape(Hive), shape);
}

void tst_RegFile::laterTextAppliesOnTop() {
  TRegHive Hive;
  QVERIFY(
      Hive.Apply(Header + "[HKLM\\A]\r\n\"V\"=dword:1\r\n\"W\"=dword:2\r\n", QStringLiteral("a"))
          .isEmpty());
  QVERIFY(Hive.Apply(Header + "[HKLM\\A]\r\n\"V\"=\"text\"\r\n[HKLM\\B]\r\n", QStringLiteral("b"))
              .isEmpty());
  QCOMPARE(dump(Hive),
           (QStringList{QStringLiteral("HKEY_LOCAL_MACHINE\\A"), QStringLiteral("  V SZ \"text\""),
                        QStringLiteral("  W DWORD 2"), QStringLiteral("HKEY_LOCAL_MACHINE\\B")}));
  Hive.Clear();
  QVERIFY(dump(Hive).isEmpty());
}

void tst_RegFile::oversizedInputIsRefused() {
  TRegHive Hive;
  const QByteArray Input = Header + "[HKLM\\A]\r\n" + QByteArray(MaxRegFileBytes, ';');
  QCOMPARE(
      Hive.Apply(Input, QStringLiteral("big.reg")),
      QStringList{
          QStringLiteral("big.reg:0: file larger than %1 bytes, not read").arg(MaxRegFileBytes)});
  QVERIFY(dump(Hive).isEmpty());
}

KELVANE_TEST_MAIN(tst_RegFile)
#include "tst_RegFile.moc"
