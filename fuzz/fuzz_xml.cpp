#include "FuzzMain.h"

#include "serialization/XmlDocument.h"

KELVANE_FUZZ_TARGET({
  TXmlDocument Document;
  Document.LoadFromBytes(Input);
  // What was read must write and read back.
  TXmlDocument Again;
  Again.LoadFromBytes(Document.ToBytes());
})
