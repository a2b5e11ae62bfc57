#include "support/TestMain.h"

#include "common/Lists.h"

#include <QTest>

namespace {
struct TTracked {
  explicit TTracked(int AValue, int& ADestroyed) : Value(AValue), Destroyed(ADestroyed) {}
  ~TTracked() { ++Destroyed; }
  int Value;
  int& Destroyed;
};
} // namespace

class tst_Lists : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void ownsAndDestroysItsItems();
  void keepsInsertionOrder();
  void extractGivesUpOwnership();
  void indexOutOfBounds_data();
  void indexOutOfBounds();
  void sharedListLivesWhileReferenced();
};

void tst_Lists::ownsAndDestroysItsItems() {
  int Destroyed = 0;
  {
    TObjectList<TTracked> List;
    List.AddNew(1, Destroyed);
    List.Add(std::make_unique<TTracked>(2, Destroyed));
    List.Delete(0);
    QCOMPARE(Destroyed, 1);
    QCOMPARE(List.Count(), 1);
  }
  QCOMPARE(Destroyed, 2);
}

void tst_Lists::keepsInsertionOrder() {
  int Destroyed = 0;
  TObjectList<TTracked> List;
  for (int I = 0; I < 5; ++I)
    List.AddNew(I, Destroyed);
  QList<int> Seen;
  for (TTracked* Item : List)
    Seen << Item->Value;
  QCOMPARE(Seen, (QList<int>{0, 1, 2, 3, 4}));
  QCOMPARE(List.IndexOf(List[3]), 3);
  QCOMPARE(List.Last()->Value, 4);
  List.Clear();
  QCOMPARE(Destroyed, 5);
  QVERIFY(List.IsEmpty());
}

void tst_Lists::extractGivesUpOwnership() {
  int Destroyed = 0;
  std::unique_ptr<TTracked> Kept;
  {
    TObjectList<TTracked> List;
    List.AddNew(7, Destroyed);
    List.AddNew(8, Destroyed);
    Kept = List.Extract(0);
    QCOMPARE(List.First()->Value, 8);
  }
  QCOMPARE(Destroyed, 1);
  QCOMPARE(Kept->Value, 7);
}

void tst_Lists::indexOutOfBounds_data() {
  QTest::addColumn<int>("index");
  QTest::newRow("negative") << -1;
  QTest::newRow("count") << 2;
  QTest::newRow("far") << 100;
}

void tst_Lists::indexOutOfBounds() {
  QFETCH(int, index);
  int Destroyed = 0;
  TObjectList<TTracked> List;
  List.AddNew(1, Destroyed);
  List.AddNew(2, Destroyed);
  try {
    List.Items(index);
    QFAIL("no error raised");
  } catch (const EListError& E) {
    QCOMPARE(E.Message(), QStringLiteral("List index out of bounds (%1)").arg(index));
  }
  QVERIFY_THROWS_EXCEPTION(EListError, List.Delete(index));
  QCOMPARE(List.Count(), 2);
}

void tst_Lists::sharedListLivesWhileReferenced() {
  int Destroyed = 0;
  IList<TTracked> Outer;
  {
    IList<TTracked> List = MakeList<TTracked>();
    List->AddNew(1, Destroyed);
    Outer = List;
  }
  QCOMPARE(Destroyed, 0);
  Outer.reset();
  QCOMPARE(Destroyed, 1);
}

KELVANE_TEST_MAIN(tst_Lists)
#include "tst_Lists.moc"
