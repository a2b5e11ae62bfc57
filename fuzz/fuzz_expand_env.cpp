#include "FuzzMain.h"

#include "platform/fake/FakePlatform.h"

// The input's lines up to the first empty one set the environment
// ("NAME=value"), the rest is the text to expand. The fake looks names up
// one by one, so the environment is kept to a size a process has.
KELVANE_FUZZ_TARGET({
  const QString Text = QString::fromUtf8(Input);
  qsizetype P = 0;
  FakeSystemInfo System;
  while (P < Text.size()) {
    const qsizetype End = Text.indexOf(u'\n', P);
    const QStringView Line = QStringView(Text).mid(P, (End < 0 ? Text.size() : End) - P);
    P = End < 0 ? Text.size() : End + 1;
    if (Line.isEmpty())
      break;
    if (System.Environment.size() < 256) {
      const qsizetype Equals = Line.indexOf(u'=');
      System.Environment.insert(Line.left(Equals).toString(),
                                Equals < 0 ? QString() : Line.mid(Equals + 1).toString());
    }
  }
  (void)ExpandEnvironmentStrings(System, Text.mid(P));
})
