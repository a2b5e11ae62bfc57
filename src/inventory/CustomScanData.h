#pragma once
// The base of every scan record: a persistent object that writes itself to
// and reads itself from a serializer through the XML object mapper, so its
// declarations (properties and mapping attributes) are its file layout.

#include "common/Persistent.h"
#include "serialization/ObjectMapperAttributes.h"
#include "serialization/Serializers.h"

#include <QObject>

class QSettings;

class TCustomScanData : public QObject, public TPersistent, public ISerializable {
  Q_OBJECT
  Q_CLASSINFO("ObjectMapping", "")
  Q_PROPERTY(QString ClientId READ ClientId WRITE SetClientId)
  Q_CLASSINFO("map:ClientId", "ClientId, true")

public:
  Q_INVOKABLE TCustomScanData() = default;

  const QString& ClientId() const { return FClientId; }
  virtual void SetClientId(const QString& AValue);
  // No record of this system keeps itself in an INI file.
  virtual void LoadFromIni(QSettings& AIni, const QString& ASectionName);
  virtual void SaveToIni(QSettings& AIni, const QString& ASectionName);

  void Serialize(TSerializer& ASerializer) override;
  void Deserialize(TSerializer& ASerializer) override;

private:
  QString FClientId;
};
