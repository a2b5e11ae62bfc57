// Picture records: described as a PNG where the process registered picture
// support (the window), a plain note where it did not (--print).

#include "support/TestMain.h"

#include "logging/LogEngine.h"
#include "logging/LogImages.h"
#include "logging/LogSession.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class tst_LogImages : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void pictureRecords_data();
  void pictureRecords();
  void cleanup() { SetLogImageDescribers({}); }
};

void tst_LogImages::pictureRecords_data() {
  QTest::addColumn<bool>("supported");
  QTest::addColumn<bool>("fromFile");
  QTest::addColumn<QString>("data"); // the start of the record's data; %1: the file's size
  QTest::newRow("picture, supported")
      << true << false << QStringLiteral("image 2x1, PNG base64 iVBORw0KGgo");
  QTest::newRow("picture file, supported")
      << true << true << QStringLiteral("image 2x1, PNG base64 iVBORw0KGgo");
  QTest::newRow("picture, no support")
      << false << false
      << QStringLiteral("(a picture, not shown: this program has no picture support)");
  QTest::newRow("picture file, no support")
      << false << true
      << QStringLiteral("(a picture of %1 bytes, not shown: this program has no picture support)");
}

void tst_LogImages::pictureRecords() {
  QFETCH(bool, supported);
  QFETCH(bool, fromFile);
  QFETCH(QString, data);
  if (supported)
    RegisterLogImages();
  QImage Picture(2, 1, QImage::Format_RGB32);
  Picture.fill(Qt::blue);
  TLogEngine Engine(QStringLiteral("kelvane"));
  Engine.SetEnabled(true);
  Engine.SetConnections(QStringLiteral("mem()"));
  TLogSession Session(&Engine, QStringLiteral("test"));
  if (fromFile) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("p.png"));
    QVERIFY(Picture.save(Path, "PNG"));
    Session.LogBitmapFile(QStringLiteral("shown"), Path);
    data = data.arg(QFileInfo(Path).size());
  } else {
    Session.LogBitmap(QStringLiteral("shown"), Picture);
  }
  const QJsonObject Record = QJsonDocument::fromJson(Engine.MemoryContents().trimmed()).object();
  QCOMPARE(Record.value(QStringLiteral("title")).toString(), QStringLiteral("shown"));
  QCOMPARE(Record.value(QStringLiteral("kind")).toString(),
           LogEntryKindName(TLogEntryKind::Graphic));
  QVERIFY2(Record.value(QStringLiteral("data")).toString().startsWith(data),
           qPrintable(Record.value(QStringLiteral("data")).toString()));
}

KELVANE_TEST_MAIN(tst_LogImages)
#include "tst_LogImages.moc"
