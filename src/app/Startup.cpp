#include "app/Startup.h"

#include "app/KelvaneFunctions.h"
#include "inventory/IPAddressHelpers.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"

#include <QCoreApplication>
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

namespace {

// Without a display Qt would abort while connecting to it; say why instead.
bool displayAvailable() {
  const QString Platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (Platform.startsWith(QLatin1String("xcb")))
    return qEnvironmentVariableIsSet("DISPLAY");
  if (Platform.startsWith(QLatin1String("wayland")))
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  if (!Platform.isEmpty())
    return true;
  return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int printInformation(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  QCoreApplication::setApplicationName(QLatin1String(KelvaneTitle));
  TModuleLifetime Modules;
  try {
    TObjectList<TKelvaneData> Groups;
    bool Connected = false;
    GatherInformation(Groups, Connected);
    QString Text = KelvaneExportText(Groups);
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray Utf8 = Text.toUtf8();
    std::fwrite(Utf8.constData(), 1, static_cast<size_t>(Utf8.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  } catch (const Exception& E) {
    GetLogger()->LogException(QString());
    std::fprintf(stderr, "kelvane: %s\n", E.what());
    return 1;
  }
}

} // namespace

int KelvaneMain(int argc, char** argv, TShowWindow AShowWindow) {
  QStringList Arguments;
  for (int I = 0; I < argc; ++I)
    Arguments << QString::fromLocal8Bit(argv[I]);
  QString Unknown;
  switch (ParseCommandLine(Arguments, Unknown)) {
  case TCommand::Usage:
    std::fprintf(stderr, "kelvane: unknown option '%s'\n%s", qPrintable(Unknown),
                 qPrintable(UsageText()));
    return 2;
  case TCommand::Help:
    std::fputs(qPrintable(UsageText()), stdout);
    return 0;
  case TCommand::Version: {
    TModuleLifetime Modules;
    std::printf("Kelvane %s\n", KelvaneVersion);
    return 0;
  }
  case TCommand::Print:
    return printInformation(argc, argv);
  case TCommand::Window:
  default:
    if (!displayAvailable()) {
      std::fputs("kelvane: no display to show the window on; use --print to write the "
                 "information to standard output\n",
                 stderr);
      return 1;
    }
    return AShowWindow(argc, argv);
  }
}
