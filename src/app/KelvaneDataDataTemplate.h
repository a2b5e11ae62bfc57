#pragma once
// How the tree shows a TKelvaneData: the template answers for one item
// (cell text, cell hint, children); TKelvaneTreeModel serves a group list to
// a Qt view through it. The list must outlive the model and stay unchanged
// while bound: the window fills it once before binding.

#include "app/KelvaneData.h"

#include <QAbstractItemModel>
#include <QHash>

class TKelvaneDataDataTemplate {
public:
  virtual ~TKelvaneDataDataTemplate() = default;
  // Column 0 the caption, column 1 the value, any other column empty.
  virtual QString GetValue(const TKelvaneData* AItem, int AColumn) const;
  // Only the value column has a hint: the value itself.
  virtual QString GetHint(const TKelvaneData* AItem, int AColumn) const;
  virtual const TObjectList<TKelvaneData>* GetItems(const TKelvaneData* AItem) const;
};

class TKelvaneTreeModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit TKelvaneTreeModel(QObject* AParent = nullptr);

  // Binds the list through the template; null unbinds.
  void SetItemsSource(const TObjectList<TKelvaneData>* AItems,
                      std::shared_ptr<TKelvaneDataDataTemplate> ATemplate);
  const TKelvaneData* ItemAt(const QModelIndex& AIndex) const;
  QModelIndex IndexOf(const TKelvaneData* AItem) const;

  QModelIndex index(int ARow, int AColumn, const QModelIndex& AParent = {}) const override;
  QModelIndex parent(const QModelIndex& AChild) const override;
  int rowCount(const QModelIndex& AParent = {}) const override;
  int columnCount(const QModelIndex& AParent = {}) const override;
  QVariant data(const QModelIndex& AIndex, int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& AIndex) const override;

private:
  const TObjectList<TKelvaneData>* childrenOf(const QModelIndex& AParent) const;
  void indexParents(const TObjectList<TKelvaneData>* AItems, const TKelvaneData* AParent);

  const TObjectList<TKelvaneData>* FItems = nullptr;
  std::shared_ptr<TKelvaneDataDataTemplate> FTemplate;
  // Nodes know their children only; the view also asks for parents.
  QHash<const TKelvaneData*, const TKelvaneData*> FParents;
};
