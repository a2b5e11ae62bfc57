// The main window, offscreen: geometry and placement of its parts, the tree
// after Init, the connection icon, logo files beside the executable, the
// web-address panel, the copy action, and the event loop's error guard.

#include "support/TestMain.h"

#include "app/KelvaneApplication.h"
#include "app/Main.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTreeView>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

TGatherer gatherer(int AGroups, bool AConnected) {
  return [=](TObjectList<TKelvaneData>& AList, bool& AIsConnected) {
    for (int G = 0; G < AGroups; ++G) {
      auto* Group = AList.AddNew();
      Group->SetCaption(G == 0 ? QStringLiteral("General Information")
                               : QStringLiteral("Network Interface #%1").arg(G));
      Group->AddSubItem(QStringLiteral("Computer Name"), QStringLiteral("HOST%1").arg(G));
      Group->AddSubItem(QStringLiteral("User"), QString());
    }
    AIsConnected = AConnected;
  };
}

QImage resourceImage(const QString& AName) {
  return QImage(QStringLiteral(":/images/%1.png").arg(AName));
}

QImage shown(const TfrmKelvane& AForm, const char* AName) {
  return AForm.findChild<QLabel*>(QLatin1String(AName))->pixmap().toImage();
}

// Compares pictures by their pixels, whatever their storage format.
bool samePicture(const QImage& A, const QImage& B) {
  return A.convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
         B.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class TThrowingObject : public QObject {
public:
  bool event(QEvent* AEvent) override {
    if (AEvent->type() == QEvent::User)
      throw EInvalidOperation(QStringLiteral("handler failed"));
    return QObject::event(AEvent);
  }
};

} // namespace

class tst_Main : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void windowGeometry();
  void partsArePlaced_data();
  void partsArePlaced();
  void treeStaysInFront();
  void treeAfterInit();
  void connectionIcon_data();
  void connectionIcon();
  void logoFiles_data();
  void logoFiles();
  void webAddressHover();
  void copyPutsExportOnClipboard();
  void initLogsEntryAndExit();
  void eventLoopErrorsAreLoggedNotFatal();
  void failedInitIsReportedNotShown();

private:
  QString logoPath() const {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("logo_left.png"));
  }
};

void tst_Main::init() {
  QFile::remove(logoPath());
  QDir(logoPath()).removeRecursively();
  MorvelLogEngine()->SetLevel(TLogLevel::Debug);
  MorvelLogEngine()->SetConnections(QStringLiteral("mem(maxsize=\"256\")"));
}

void tst_Main::cleanup() {
  QFile::remove(logoPath());
  QDir(logoPath()).removeRecursively();
  MorvelLogEngine()->SetConnections(QString());
}

void tst_Main::windowGeometry() {
  TfrmKelvane Form(gatherer(1, false));
  Form.Init();
  QCOMPARE(Form.windowTitle(), QStringLiteral("Kelvane 4"));
  QCOMPARE(Form.size(), QSize(370, 467));
  QCOMPARE(Form.minimumSize(), Form.maximumSize());
  QCOMPARE(Form.pos(), QPoint(0, 0));
  QVERIFY(!(Form.windowFlags() & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(Form.windowFlags() & Qt::WindowMaximizeButtonHint));
  QVERIFY(Form.windowFlags() & Qt::WindowCloseButtonHint);
  QCOMPARE(Form.palette().color(QPalette::Window), QColor(Qt::white));
  QCOMPARE(Form.font().pointSize(), 8);
  QVERIFY(!Form.windowIcon().isNull());
}

void tst_Main::partsArePlaced_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("rect"); // in window coordinates
  QTest::newRow("header") << QStringLiteral("pnlHeader") << QRect(0, 0, 370, 97);
  QTest::newRow("left logo") << QStringLiteral("imgLeftHeader") << QRect(18, 0, 157, 70);
  QTest::newRow("right logo") << QStringLiteral("imgRightHeader") << QRect(282, 0, 70, 70);
  QTest::newRow("bevel") << QStringLiteral("Bevel1") << QRect(14, 78, 342, 50);
  QTest::newRow("tree") << QStringLiteral("tvInformation") << QRect(14, 88, 342, 273);
  QTest::newRow("bottom picture") << QStringLiteral("Image2") << QRect(0, 306, 370, 141);
  QTest::newRow("footer") << QStringLiteral("pnlFooter") << QRect(0, 447, 370, 20);
  QTest::newRow("copyright") << QStringLiteral("pnlCopyright") << QRect(0, 447, 177, 19);
  QTest::newRow("web address") << QStringLiteral("pnlURL") << QRect(178, 447, 79, 19);
  QTest::newRow("connection icon")
      << QStringLiteral("imgConnectionState") << QRect(350, 449, 16, 16);
}

void tst_Main::partsArePlaced() {
  QFETCH(QString, name);
  QFETCH(QRect, rect);
  TfrmKelvane Form(gatherer(1, false));
  auto* Part = Form.findChild<QWidget*>(name);
  QVERIFY(Part);
  QCOMPARE(QRect(Part->mapTo(&Form, QPoint(0, 0)), Part->size()), rect);
}

void tst_Main::treeStaysInFront() {
  TfrmKelvane Form(gatherer(2, false));
  Form.Init();
  auto* Tree = Form.findChild<QTreeView*>(QStringLiteral("tvInformation"));
  for (const QPoint& Where : {QPoint(20, 90), QPoint(20, 355), QPoint(350, 200)})
    QVERIFY2(Tree->isAncestorOf(Form.childAt(Where)),
             qPrintable(QStringLiteral("%1,%2").arg(Where.x()).arg(Where.y())));
  QVERIFY(Tree->isHeaderHidden());
  QCOMPARE(Tree->indentation(), 14);
  QCOMPARE(Tree->columnWidth(0), 175);
  QVERIFY(Tree->header()->stretchLastSection());
  QCOMPARE(Tree->selectionBehavior(), QAbstractItemView::SelectItems);
  QCOMPARE(Tree->frameShape(), QFrame::NoFrame);
}

void tst_Main::treeAfterInit() {
  TfrmKelvane Form(gatherer(3, false));
  Form.Init();
  auto* Tree = Form.findChild<QTreeView*>(QStringLiteral("tvInformation"));
  QAbstractItemModel* Model = Tree->model();
  QCOMPARE(Model->rowCount(), 3);
  QVERIFY(Tree->isExpanded(Model->index(0, 0)));
  QVERIFY(!Tree->isExpanded(Model->index(1, 0)));
  QVERIFY(!Tree->isExpanded(Model->index(2, 0)));
  QVERIFY(Tree->selectionModel()->selectedIndexes().isEmpty());
  QVERIFY(!Tree->currentIndex().isValid());
  const QModelIndex Value = Model->index(1, 1, Model->index(0, 0));
  QCOMPARE(Model->data(Value).toString(), QStringLiteral("not available"));
  QCOMPARE(Model->data(Value, Qt::ToolTipRole).toString(), QStringLiteral("not available"));
  QVERIFY(!Model->data(Model->index(1, 0, Model->index(0, 0)), Qt::ToolTipRole).isValid());
}

void tst_Main::connectionIcon_data() {
  QTest::addColumn<bool>("connected");
  QTest::addColumn<QString>("hint");
  QTest::addColumn<QString>("picture");
  QTest::newRow("connected") << true << QStringLiteral("Network connected")
                             << QStringLiteral("connected");
  QTest::newRow("disconnected") << false << QStringLiteral("Network disconnected")
                                << QStringLiteral("disconnected");
}

void tst_Main::connectionIcon() {
  QFETCH(bool, connected);
  QFETCH(QString, hint);
  QFETCH(QString, picture);
  TfrmKelvane Form(gatherer(1, connected));
  Form.Init();
  QCOMPARE(Form.Connected(), connected);
  QCOMPARE(Form.findChild<QLabel*>(QStringLiteral("imgConnectionState"))->toolTip(), hint);
  QVERIFY(samePicture(shown(Form, "imgConnectionState"), resourceImage(picture)));
}

void tst_Main::logoFiles_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("replaced");
  QTest::addColumn<QString>("logged"); // in the one exception record; empty: none
  QTest::newRow("no file") << QStringLiteral("none") << false << QString();
  QTest::newRow("valid picture replaces the logo") << QStringLiteral("png") << true << QString();
  QTest::newRow("undecodable file falls back")
      << QStringLiteral("garbage") << false << QStringLiteral("Cannot decode the picture");
  QTest::newRow("empty file falls back")
      << QStringLiteral("empty") << false << QStringLiteral("Cannot decode the picture");
  QTest::newRow("a file of 100 MB is not read")
      << QStringLiteral("huge file") << false << QStringLiteral("larger than 16777216 bytes");
  QTest::newRow("a picture of 5000 x 5000 is not decoded")
      << QStringLiteral("huge picture") << false
      << QStringLiteral("5000 x 5000 pixels, more than 4096 a side");
#ifndef _WIN32
  QTest::newRow("a FIFO is not read") << QStringLiteral("fifo") << false << QString();
#endif
  QTest::newRow("a folder is not read") << QStringLiteral("folder") << false << QString();
}

void tst_Main::logoFiles() {
  QFETCH(QString, kind);
  QFETCH(bool, replaced);
  QFETCH(QString, logged);
  QImage Own(40, 20, QImage::Format_ARGB32);
  Own.fill(Qt::red);
  if (kind == QLatin1String("png")) {
    QVERIFY(Own.save(logoPath(), "PNG"));
  } else if (kind == QLatin1String("garbage") || kind == QLatin1String("empty")) {
    QFile File(logoPath());
    QVERIFY(File.open(QIODevice::WriteOnly));
    if (kind == QLatin1String("garbage"))
      File.write(QByteArray("\x89PNG\r\n\x1a\nnot really", 18));
  } else if (kind == QLatin1String("huge file")) {
    QFile File(logoPath()); // sparse: costs no disk
    QVERIFY(File.open(QIODevice::WriteOnly));
    QVERIFY(Own.save(&File, "PNG"));
    QVERIFY(File.resize(100 * 1024 * 1024));
  } else if (kind == QLatin1String("huge picture")) {
    QFile File(logoPath()); // only the header: the size it declares
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write("P6\n5000 5000\n255\n");
#ifndef _WIN32
  } else if (kind == QLatin1String("fifo")) {
    QCOMPARE(::mkfifo(QFile::encodeName(logoPath()).constData(), 0600), 0);
#endif
  } else if (kind == QLatin1String("folder")) {
    QVERIFY(QDir().mkpath(logoPath()));
  }
  TfrmKelvane Form(gatherer(0, false));
  Form.Init();
  QVERIFY(samePicture(shown(Form, "imgLeftHeader"),
                      replaced ? Own : resourceImage(QStringLiteral("logo_left"))));
  QVERIFY(samePicture(shown(Form, "imgRightHeader"), resourceImage(QStringLiteral("logo_right"))));
  const QStringList Titles =
      HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::Exception));
  QCOMPARE(Titles.size(), logged.isEmpty() ? 0 : 1);
  if (!logged.isEmpty())
    QVERIFY2(Titles.first().contains(logged), qPrintable(Titles.first()));
}

void tst_Main::webAddressHover() {
  TfrmKelvane Form(gatherer(0, false));
  auto* Url = Form.findChild<QLabel*>(QStringLiteral("pnlURL"));
  QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(Url, &Enter);
  QCOMPARE(Url->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xFF));
  QVERIFY(Url->font().underline());
  QCOMPARE(Url->cursor().shape(), Qt::PointingHandCursor);
  QEvent Leave(QEvent::Leave);
  QCoreApplication::sendEvent(Url, &Leave);
  QCOMPARE(Url->palette().color(QPalette::WindowText), QColor(Qt::black));
  QVERIFY(!Url->font().underline());
  QCOMPARE(Url->cursor().shape(), Qt::ArrowCursor);
}

void tst_Main::copyPutsExportOnClipboard() {
  TfrmKelvane Form(gatherer(2, false));
  Form.Init();
  QGuiApplication::clipboard()->setText(QStringLiteral("old"));
  auto* Copy = Form.findChild<QAction*>(QStringLiteral("actCopyToClipboard"));
  QCOMPARE(Copy->text(), QStringLiteral("Copy to clipboard"));
  QVERIFY(Copy->shortcut().isEmpty());
  Copy->trigger();
  const QString Text = QGuiApplication::clipboard()->text();
  QCOMPARE(Text, Form.ExportText());
  QVERIFY(Text.startsWith(QStringLiteral("General Information\r\n\tComputer Name:\tHOST0\r\n")));
  QVERIFY(!Text.contains(QChar(0)));
}

void tst_Main::initLogsEntryAndExit() {
  TfrmKelvane Form(gatherer(1, false));
  Form.Init();
  QVERIFY(HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::EnterMethod))
              .contains(QStringLiteral("TfrmKelvane.Init")));
  QVERIFY(HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::LeaveMethod))
              .contains(QStringLiteral("TfrmKelvane.Init")));
}

void tst_Main::eventLoopErrorsAreLoggedNotFatal() {
  TThrowingObject Target;
  QEvent Event(QEvent::User);
  QVERIFY(!QCoreApplication::sendEvent(&Target, &Event));
  QCOMPARE(HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::Exception)),
           QStringList{QStringLiteral("handler failed")});
}

void tst_Main::failedInitIsReportedNotShown() {
  TfrmKelvane Form([](TObjectList<TKelvaneData>&, bool&) {
    throw EOSError(QStringLiteral("gathering failed"), 5);
  });
  QCOMPARE(TryInit(Form), std::optional<QString>(QStringLiteral("gathering failed")));
  QVERIFY(!Form.isVisible());
  QCOMPARE(HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::Exception)),
           QStringList{QStringLiteral("gathering failed")});
  // The method that raised has no leave record.
  QVERIFY(!HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::LeaveMethod))
               .contains(QStringLiteral("TfrmKelvane.Init")));
  TfrmKelvane Fine(gatherer(1, false));
  QCOMPARE(TryInit(Fine), std::nullopt);
}

int main(int argc, char** argv) {
  TKelvaneApplication App(argc, argv);
  tst_Main Test;
  return RunKelvaneTest(argc, argv, Test);
}
#include "tst_Main.moc"
