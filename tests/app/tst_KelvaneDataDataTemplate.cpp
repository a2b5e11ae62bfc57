// The tree's presentation of the group list: cells, hints, children, and a
// model that Qt's own model checker accepts.

#include "support/TestMain.h"

#include "app/KelvaneDataDataTemplate.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {
TObjectList<TKelvaneData> twoGroups() {
  TObjectList<TKelvaneData> Groups;
  auto* General = Groups.AddNew();
  General->SetCaption(QStringLiteral("General Information"));
  General->AddSubItem(QStringLiteral("Computer Name"), QStringLiteral("HOST1"));
  General->AddSubItem(QStringLiteral("User"), QString());
  auto* Adapter = Groups.AddNew();
  Adapter->SetCaption(QStringLiteral("Network Interface #1"));
  Adapter->AddSubItem(QStringLiteral("Description"), QStringLiteral("eth0"));
  return Groups;
}
} // namespace

class tst_KelvaneDataDataTemplate : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void cells_data();
  void cells();
  void modelPassesTheChecker();
  void unboundModelIsEmpty();
};

void tst_KelvaneDataDataTemplate::cells_data() {
  QTest::addColumn<int>("group");
  QTest::addColumn<int>("line"); // -1: the group row itself
  QTest::addColumn<int>("column");
  QTest::addColumn<QVariant>("display");
  QTest::addColumn<QVariant>("tooltip");
  QTest::newRow("group caption") << 0 << -1 << 0 << QVariant(QStringLiteral("General Information"))
                                 << QVariant();
  QTest::newRow("group value column is empty") << 0 << -1 << 1 << QVariant(QString()) << QVariant();
  QTest::newRow("line caption has no hint")
      << 0 << 0 << 0 << QVariant(QStringLiteral("Computer Name")) << QVariant();
  QTest::newRow("line value with its hint")
      << 0 << 0 << 1 << QVariant(QStringLiteral("HOST1")) << QVariant(QStringLiteral("HOST1"));
  QTest::newRow("blank value") << 0 << 1 << 1 << QVariant(NotAvailable) << QVariant(NotAvailable);
  QTest::newRow("second group's line")
      << 1 << 0 << 1 << QVariant(QStringLiteral("eth0")) << QVariant(QStringLiteral("eth0"));
}

void tst_KelvaneDataDataTemplate::cells() {
  QFETCH(int, group);
  QFETCH(int, line);
  QFETCH(int, column);
  QFETCH(QVariant, display);
  QFETCH(QVariant, tooltip);
  const TObjectList<TKelvaneData> Groups = twoGroups();
  TKelvaneTreeModel Model;
  Model.SetItemsSource(&Groups, std::make_shared<TKelvaneDataDataTemplate>());
  const QModelIndex Group = Model.index(group, 0);
  const QModelIndex Cell = line < 0 ? Model.index(group, column) : Model.index(line, column, Group);
  QVERIFY(Cell.isValid());
  QCOMPARE(Model.data(Cell, Qt::DisplayRole), display);
  QCOMPARE(Model.data(Cell, Qt::ToolTipRole), tooltip);
  if (line >= 0) {
    QCOMPARE(Model.parent(Cell), Group);
    QCOMPARE(Model.rowCount(Model.index(line, 0, Group)), 0);
  }
}

void tst_KelvaneDataDataTemplate::modelPassesTheChecker() {
  const TObjectList<TKelvaneData> Groups = twoGroups();
  TKelvaneTreeModel Model;
  QAbstractItemModelTester Tester(&Model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  Model.SetItemsSource(&Groups, std::make_shared<TKelvaneDataDataTemplate>());
  QCOMPARE(Model.rowCount(), 2);
  QCOMPARE(Model.rowCount(Model.index(0, 0)), 2);
  QCOMPARE(Model.rowCount(Model.index(0, 1)), 0);
  QCOMPARE(Model.IndexOf(Groups[1]), Model.index(1, 0));
  Model.SetItemsSource(nullptr, nullptr);
  QCOMPARE(Model.rowCount(), 0);
}

void tst_KelvaneDataDataTemplate::unboundModelIsEmpty() {
  TKelvaneTreeModel Model;
  QCOMPARE(Model.rowCount(), 0);
  QVERIFY(!Model.index(0, 0).isValid());
  QVERIFY(!Model.data(QModelIndex()).isValid());
}

KELVANE_TEST_MAIN(tst_KelvaneDataDataTemplate)
#include "tst_KelvaneDataDataTemplate.moc"
