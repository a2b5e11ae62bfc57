#include "FuzzMain.h"

#include "common/IniFiles.h"

KELVANE_FUZZ_TARGET({
  TMemIniFile Ini;
  Ini.LoadFromBytes(Input);
  for (const QString& Section : Ini.Sections())
    (void)Ini.ReadString(Section, QStringLiteral("True"), QString());
})
