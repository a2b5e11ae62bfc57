#pragma once
// Owning lists. A TObjectList owns its items and destroys them with itself;
// an IList is a shared reference to one, for lists that several holders keep
// alive. Items themselves are never reference-counted.

#include "Exceptions.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

[[noreturn]] void RaiseListIndexError(qsizetype AIndex);

template <class T> class TObjectList {
public:
  TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  TObjectList(TObjectList&&) noexcept = default;
  TObjectList& operator=(TObjectList&&) noexcept = default;

  // Takes ownership; returns the item for convenient chaining.
  T* Add(std::unique_ptr<T> AItem) {
    FItems.push_back(std::move(AItem));
    return FItems.back().get();
  }
  template <class U = T, class... Args> U* AddNew(Args&&... AArgs) {
    auto Item = std::make_unique<U>(std::forward<Args>(AArgs)...);
    U* Raw = Item.get();
    FItems.push_back(std::move(Item));
    return Raw;
  }

  qsizetype Count() const noexcept { return static_cast<qsizetype>(FItems.size()); }
  bool IsEmpty() const noexcept { return FItems.empty(); }

  T* Items(qsizetype AIndex) const {
    CheckIndex(AIndex);
    return FItems[static_cast<std::size_t>(AIndex)].get();
  }
  T* operator[](qsizetype AIndex) const { return Items(AIndex); }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }

  qsizetype IndexOf(const T* AItem) const noexcept {
    for (std::size_t I = 0; I < FItems.size(); ++I)
      if (FItems[I].get() == AItem)
        return static_cast<qsizetype>(I);
    return -1;
  }

  void Delete(qsizetype AIndex) {
    CheckIndex(AIndex);
    FItems.erase(FItems.begin() + AIndex);
  }
  // Gives up ownership of the item without destroying it.
  std::unique_ptr<T> Extract(qsizetype AIndex) {
    CheckIndex(AIndex);
    auto Item = std::move(FItems[static_cast<std::size_t>(AIndex)]);
    FItems.erase(FItems.begin() + AIndex);
    return Item;
  }
  void Clear() noexcept { FItems.clear(); }
  void Reserve(qsizetype ACount) {
    FItems.reserve(static_cast<std::size_t>(std::max<qsizetype>(ACount, 0)));
  }

  // Iteration yields T* in insertion order.
  class const_iterator {
  public:
    using Base = typename std::vector<std::unique_ptr<T>>::const_iterator;
    explicit const_iterator(Base AIt) : FIt(AIt) {}
    T* operator*() const { return FIt->get(); }
    const_iterator& operator++() {
      ++FIt;
      return *this;
    }
    bool operator==(const const_iterator& AOther) const = default;

  private:
    Base FIt;
  };
  const_iterator begin() const { return const_iterator(FItems.begin()); }
  const_iterator end() const { return const_iterator(FItems.end()); }

private:
  void CheckIndex(qsizetype AIndex) const {
    if (AIndex < 0 || AIndex >= Count())
      RaiseListIndexError(AIndex);
  }

  std::vector<std::unique_ptr<T>> FItems;
};

template <class T> using IList = std::shared_ptr<TObjectList<T>>;

template <class T> IList<T> MakeList() {
  return std::make_shared<TObjectList<T>>();
}
