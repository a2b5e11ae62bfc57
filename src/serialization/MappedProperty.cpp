#include "serialization/MappedProperty.h"

void TMappedProperty::Assign(const TPersistent* ASource) {
  const auto* Source = dynamic_cast<const TMappedProperty*>(ASource);
  if (!Source || Source == this)
    return;
  FFieldName = Source->FFieldName;
  FPropertyName = Source->FPropertyName;
  FOwner = Source->FOwner;
  FPropertyKind = Source->FPropertyKind;
  FIsKeyProperty = Source->FIsKeyProperty;
  FIsCrypted = Source->FIsCrypted;
  FTableName = Source->FTableName;
  FDbState = Source->FDbState;
  FAggregationLink = Source->FAggregationLink;
  FUpdateAggregationFirst = Source->FUpdateAggregationFirst;
  FEncryptionSaltOfOwnerObject = Source->FEncryptionSaltOfOwnerObject;
  for (const TMappedProperty* Entry : Source->FAggregatedProperties)
    FAggregatedProperties.AddNew()->Assign(Entry);
}
