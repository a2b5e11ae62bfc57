#include "app/Startup.h"

#include "inventory/IPAddressHelpers.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"

#include <QStringList>

#include <cstdio>

TModuleLifetime::TModuleLifetime() {
  try {
    InitializeMorvelDebug();
  } catch (const Exception& E) {
    // Only a connection text the engine rejects gets here; the program runs
    // on without a log rather than not at all.
    std::fprintf(stderr, "kelvane: logging not started: %s\n", E.what());
  }
  GetLogger()->LogMessage(QStringLiteral("Kelvane %1 started").arg(QLatin1String(KelvaneVersion)));
  InitializeIPAddressHelpers();
}

TModuleLifetime::~TModuleLifetime() {
  FinalizeIPAddressHelpers();
  FinalizeMorvelDebug();
}

TCommand ParseCommandLine(const QStringList& AArguments, QString& AUnknown) {
  TCommand Command = TCommand::Window;
  for (qsizetype I = 1; I < AArguments.size(); ++I) {
    const QString& Argument = AArguments[I];
    if (Argument == QLatin1String("--version") || Argument == QLatin1String("-v"))
      Command = TCommand::Version;
    else if (Argument == QLatin1String("--help") || Argument == QLatin1String("-h"))
      return TCommand::Help;
    else if (Argument == QLatin1String("--print"))
      Command = TCommand::Print;
    else {
      AUnknown = Argument;
      return TCommand::Usage;
    }
  }
  return Command;
}

QString UsageText() {
  return QStringLiteral("Usage: kelvane [--print | --version | --help]\n"
                        "Shows the network identity of this computer in a window.\n"
                        "\n"
                        "  --print     write what the window shows to standard output\n"
                        "  --version   print the version and exit\n"
                        "  --help      print this text and exit\n");
}
