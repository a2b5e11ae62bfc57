// What the process learns of itself: the name logging files its records
// under, and the memory figures a log record shows.

#include "support/TestMain.h"

#include "platform/Process.h"

#include <QRegularExpression>
#include <QTest>

#include <vector>

namespace {
// The figure AName of AFigures in kB; -1 when it is not there.
qint64 figure(const QString& AFigures, const QString& AName) {
  const QRegularExpression Line(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(AName),
                                QRegularExpression::MultilineOption);
  const QRegularExpressionMatch Match = Line.match(AFigures);
  return Match.hasMatch() ? Match.captured(1).toLongLong() : -1;
}
} // namespace

class tst_ProcessInfo : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void executableFileName();
  void memoryFigures_data();
  void memoryFigures();
  void memoryFiguresAreCurrent();
};

void tst_ProcessInfo::executableFileName() {
  QCOMPARE(ExecutableFileName(), QStringLiteral("tst_ProcessInfo"));
}

void tst_ProcessInfo::memoryFigures_data() {
  QTest::addColumn<QString>("name");
  for (const char* Name : {"VmPeak", "VmSize", "VmHWM", "VmRSS", "VmData", "VmStk", "VmExe"})
    QTest::newRow(Name) << QString::fromLatin1(Name);
}

void tst_ProcessInfo::memoryFigures() {
  QFETCH(QString, name);
  const QString Figures = ProcessMemoryFigures();
  QVERIFY2(figure(Figures, name) > 0, qPrintable(Figures));
  // Only the memory lines of the status file, each a whole line.
  QVERIFY(Figures.endsWith(u'\n'));
  const QStringList Lines = Figures.split(u'\n', Qt::SkipEmptyParts);
  for (const QString& Line : Lines)
    QVERIFY2(Line.startsWith(QStringLiteral("Vm")) && Line.endsWith(QStringLiteral(" kB")),
             qPrintable(Line));
}

void tst_ProcessInfo::memoryFiguresAreCurrent() {
  const qint64 Before = figure(ProcessMemoryFigures(), QStringLiteral("VmRSS"));
  QVERIFY(Before > 0);
  // Every page written to, so all of it is resident.
  std::vector<char> Block(64 << 20, 'x');
  const qint64 After = figure(ProcessMemoryFigures(), QStringLiteral("VmRSS"));
  QVERIFY2(After - Before >= 32 << 10,
           qPrintable(QStringLiteral("%1 -> %2").arg(Before).arg(After)));
  QCOMPARE(Block.back(), 'x');
}

KELVANE_TEST_MAIN(tst_ProcessInfo)
#include "tst_ProcessInfo.moc"
