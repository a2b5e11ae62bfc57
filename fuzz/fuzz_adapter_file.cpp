#include "FuzzMain.h"

#include "inventory/NetworkAdapterData.h"

KELVANE_FUZZ_TARGET({
  TXmlSerializer Reader;
  Reader.SetXml(QString::fromUtf8(Input));
  TObjectList<TNetworkAdapterData> Records;
  DeserializeAdapterList(Reader, Records);
  TXmlSerializer Writer;
  SerializeAdapterList(Writer, Records);
  (void)Writer.GetXml();
})
