#pragma once
// A list behind a property, as the object mappers see it: whether it holds
// objects (of which class) or simple values (of which type), its items,
// and how to empty it and add to it. An object exposes such a list as a
// Q_PROPERTY of type IInterfaceList*; the list itself stays with the
// object, which owns it.

#include "common/Lists.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QVariant>

class IInterfaceList {
public:
  virtual ~IInterfaceList() = default;
  // The class of the items, or null for a list of simple values.
  virtual const QMetaObject* ItemClass() const = 0;
  // The type of the items of a list of simple values.
  virtual QMetaType ItemType() const = 0;
  virtual qsizetype Count() const = 0;
  virtual QObject* Object(qsizetype AIndex) const = 0;
  virtual QVariant Value(qsizetype AIndex) const = 0;
  virtual void Clear() = 0;
  virtual void Reserve(qsizetype ACount) = 0;
  // Makes a new item with its parameterless constructor and appends it.
  virtual QObject* AddNewObject() = 0;
  virtual void AppendValue(const QVariant& AValue) = 0;
};
Q_DECLARE_METATYPE(IInterfaceList*)

// An owning object list seen as an interface list.
template <class T> class TInterfaceObjectList : public IInterfaceList {
public:
  explicit TInterfaceObjectList(TObjectList<T>& AList) : FList(AList) {}
  const QMetaObject* ItemClass() const override { return &T::staticMetaObject; }
  QMetaType ItemType() const override { return QMetaType::fromType<T*>(); }
  qsizetype Count() const override { return FList.Count(); }
  QObject* Object(qsizetype AIndex) const override { return FList[AIndex]; }
  QVariant Value(qsizetype AIndex) const override {
    return QVariant::fromValue(static_cast<QObject*>(FList[AIndex]));
  }
  void Clear() override { FList.Clear(); }
  void Reserve(qsizetype ACount) override { FList.Reserve(ACount); }
  QObject* AddNewObject() override { return FList.AddNew(); }
  void AppendValue(const QVariant&) override {
    throw EInvalidOperation(QStringLiteral("A list of objects takes no simple values"));
  }

private:
  TObjectList<T>& FList;
};

// A list of simple values (integers, strings, 64-bit integers) seen as an
// interface list.
template <class T> class TInterfaceValueList : public IInterfaceList {
public:
  explicit TInterfaceValueList(QList<T>& AList) : FList(AList) {}
  const QMetaObject* ItemClass() const override { return nullptr; }
  QMetaType ItemType() const override { return QMetaType::fromType<T>(); }
  qsizetype Count() const override { return FList.size(); }
  QObject* Object(qsizetype) const override { return nullptr; }
  QVariant Value(qsizetype AIndex) const override { return QVariant::fromValue(FList.at(AIndex)); }
  void Clear() override { FList.clear(); }
  void Reserve(qsizetype ACount) override { FList.reserve(ACount); }
  QObject* AddNewObject() override {
    throw EInvalidOperation(QStringLiteral("A list of values takes no objects"));
  }
  void AppendValue(const QVariant& AValue) override { FList.append(AValue.value<T>()); }

private:
  QList<T>& FList;
};
