#include "app/Startup.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  QCoreApplication::setApplicationName(QLatin1String(KelvaneTitle));
  QCoreApplication::setApplicationVersion(QLatin1String(KelvaneVersion));

  QString Unknown;
  const TCommand Command = ParseCommandLine(QCoreApplication::arguments(), Unknown);
  if (Command == TCommand::Usage) {
    std::fprintf(stderr, "kelvane: unknown option '%s'\n%s", qPrintable(Unknown),
                 qPrintable(UsageText()));
    return 2;
  }
  if (Command == TCommand::Help) {
    std::fputs(qPrintable(UsageText()), stdout);
    return 0;
  }

  TModuleLifetime Modules;
  switch (Command) {
  case TCommand::Version:
    std::printf("Kelvane %s\n", KelvaneVersion);
    return 0;
  default:
    // The window and the gathering arrive with the following work; until
    // then the program says what it is.
    std::printf("Kelvane %s\n", KelvaneVersion);
    return 0;
  }
}
