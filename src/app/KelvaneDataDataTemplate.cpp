#include "app/KelvaneDataDataTemplate.h"

QString TKelvaneDataDataTemplate::GetValue(const TKelvaneData* AItem, int AColumn) const {
  switch (AColumn) {
  case 0:
    return AItem->Caption();
  case 1:
    return AItem->Value();
  default:
    return {};
  }
}

QString TKelvaneDataDataTemplate::GetHint(const TKelvaneData* AItem, int AColumn) const {
  return AColumn == 1 ? AItem->Value() : QString();
}

const TObjectList<TKelvaneData>*
TKelvaneDataDataTemplate::GetItems(const TKelvaneData* AItem) const {
  return AItem->SubItems().get();
}

TKelvaneTreeModel::TKelvaneTreeModel(QObject* AParent) : QAbstractItemModel(AParent) {}

void TKelvaneTreeModel::SetItemsSource(const TObjectList<TKelvaneData>* AItems,
                                       std::shared_ptr<TKelvaneDataDataTemplate> ATemplate) {
  beginResetModel();
  FItems = AItems;
  FTemplate = std::move(ATemplate);
  FParents.clear();
  if (FItems && FTemplate)
    indexParents(FItems, nullptr);
  endResetModel();
}

void TKelvaneTreeModel::indexParents(const TObjectList<TKelvaneData>* AItems,
                                     const TKelvaneData* AParent) {
  for (const TKelvaneData* Item : *AItems) {
    FParents.insert(Item, AParent);
    if (const auto* Children = FTemplate->GetItems(Item))
      indexParents(Children, Item);
  }
}

const TKelvaneData* TKelvaneTreeModel::ItemAt(const QModelIndex& AIndex) const {
  return AIndex.isValid() ? static_cast<const TKelvaneData*>(AIndex.internalPointer()) : nullptr;
}

const TObjectList<TKelvaneData>* TKelvaneTreeModel::childrenOf(const QModelIndex& AParent) const {
  if (!FItems || !FTemplate)
    return nullptr;
  return AParent.isValid() ? FTemplate->GetItems(ItemAt(AParent)) : FItems;
}

QModelIndex TKelvaneTreeModel::index(int ARow, int AColumn, const QModelIndex& AParent) const {
  const auto* Children = childrenOf(AParent);
  if (!Children || ARow < 0 || ARow >= Children->Count() || AColumn < 0 ||
      AColumn >= columnCount(AParent))
    return {};
  return createIndex(ARow, AColumn, const_cast<TKelvaneData*>(Children->Items(ARow)));
}

QModelIndex TKelvaneTreeModel::IndexOf(const TKelvaneData* AItem) const {
  if (!AItem || !FParents.contains(AItem))
    return {};
  const TKelvaneData* Parent = FParents.value(AItem);
  const auto* Siblings = Parent ? FTemplate->GetItems(Parent) : FItems;
  return createIndex(static_cast<int>(Siblings->IndexOf(AItem)), 0,
                     const_cast<TKelvaneData*>(AItem));
}

QModelIndex TKelvaneTreeModel::parent(const QModelIndex& AChild) const {
  if (!AChild.isValid())
    return {};
  return IndexOf(FParents.value(ItemAt(AChild)));
}

int TKelvaneTreeModel::rowCount(const QModelIndex& AParent) const {
  if (AParent.isValid() && AParent.column() != 0)
    return 0;
  const auto* Children = childrenOf(AParent);
  return Children ? static_cast<int>(Children->Count()) : 0;
}

int TKelvaneTreeModel::columnCount(const QModelIndex&) const {
  return 2;
}

QVariant TKelvaneTreeModel::data(const QModelIndex& AIndex, int ARole) const {
  const TKelvaneData* Item = ItemAt(AIndex);
  if (!Item || !FTemplate)
    return {};
  if (ARole == Qt::DisplayRole)
    return FTemplate->GetValue(Item, AIndex.column());
  if (ARole == Qt::ToolTipRole) {
    const QString Hint = FTemplate->GetHint(Item, AIndex.column());
    return Hint.isEmpty() ? QVariant() : QVariant(Hint);
  }
  return {};
}

Qt::ItemFlags TKelvaneTreeModel::flags(const QModelIndex& AIndex) const {
  return AIndex.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
