#include "FuzzMain.h"

#include "logging/LogConnections.h"

KELVANE_FUZZ_TARGET({
  for (const TParsedConnection& Connection : ParseConnectionText(QString::fromUtf8(Input)))
    (void)ReadConnectionSettings(Connection);
})
