#include "app/Startup.h"

#include "app/KelvaneFunctions.h"
#include "common/Diagnostics.h"
#include "inventory/IPAddressHelpers.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/Process.h"

#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

TModuleLifetime::TModuleLifetime() {
  try {
    InitializeMorvelDebug();
  } catch (const Exception& E) {
    // Only a connection text the engine rejects gets here; the program runs
    // on without a log rather than not at all.
    PrintDiagnostic(QStringLiteral("logging not started: ") + E.Message());
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

int printInformation(int argc, char** argv, bool AOutputClosed) {
  QCoreApplication App(argc, argv);
  QCoreApplication::setApplicationName(QLatin1String(KelvaneTitle));
  TModuleLifetime Modules;
  return PrintInformation(&GatherInformation, stdout, AOutputClosed);
}

// What standard output could not take is an error the caller must learn of,
// as with every tool of the system: a line naming it, and exit code 1.
int writeOutput(std::FILE* AOutput, const QByteArray& AText, bool AClosed) {
  int Error = AClosed ? EBADF : 0;
  if (!AClosed) {
    errno = 0;
    const size_t Written =
        std::fwrite(AText.constData(), 1, static_cast<size_t>(AText.size()), AOutput);
    if (std::fflush(AOutput) != 0 || Written != static_cast<size_t>(AText.size()) ||
        std::ferror(AOutput))
      Error = errno != 0 ? errno : EIO;
  }
  if (Error == 0)
    return 0;
  PrintDiagnostic(
      QStringLiteral("write error: %1").arg(QString::fromLocal8Bit(std::strerror(Error))));
  return 1;
}

// Called while the failure is handled: says it on standard error, logs it.
int gatheringFailed(const QString& AMessage) {
  PrintDiagnostic(AMessage.isEmpty() ? QStringLiteral("gathering failed") : AMessage);
  try {
    GetLogger()->LogException(QString(), std::current_exception());
  } catch (...) {
    // The log is a help, not a duty: the line above has said it.
  }
  return 1;
}

} // namespace

int PrintInformation(void (*AGather)(TObjectList<TKelvaneData>&, bool&), std::FILE* AOutput,
                     bool AOutputClosed) {
  QByteArray Utf8;
  try {
    TObjectList<TKelvaneData> Groups;
    bool Connected = false;
    AGather(Groups, Connected);
    QString Text = KelvaneExportText(Groups);
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Utf8 = Text.toUtf8();
  } catch (const std::bad_alloc&) {
    return gatheringFailed(QStringLiteral("out of memory"));
  } catch (...) {
    return gatheringFailed(DescribeException(std::current_exception()).Message);
  }
  return writeOutput(AOutput, Utf8, AOutputClosed);
}

int KelvaneMain(int argc, char** argv, TShowWindow AShowWindow) {
  QStringList Arguments;
  for (int I = 0; I < argc; ++I)
    Arguments << QString::fromLocal8Bit(argv[I]);
  QString Unknown;
  const TCommand Command = ParseCommandLine(Arguments, Unknown);
  int Closed = ProtectStandardStreams();
  // A text asked for from a console shows there even when this is a program
  // without a console of its own; the window needs none.
  if (Command != TCommand::Window)
    Closed &= ~AttachParentConsole(Closed);
  const bool OutputClosed = (Closed & StandardOutputStream) != 0;
  switch (Command) {
  case TCommand::Usage:
    PrintDiagnostic(QStringLiteral("unknown option '%1'").arg(Unknown));
    std::fputs(qPrintable(UsageText()), stderr);
    return 2;
  case TCommand::Help:
    return writeOutput(stdout, UsageText().toUtf8(), OutputClosed);
  case TCommand::Version: {
    TModuleLifetime Modules;
    return writeOutput(stdout, QByteArrayLiteral("Kelvane ") + KelvaneVersion + '\n', OutputClosed);
  }
  case TCommand::Print:
    return printInformation(argc, argv, OutputClosed);
  case TCommand::Window:
  default:
    // Without a display Qt would abort while connecting to it; say why instead.
    if (!WindowSystemAvailable()) {
      PrintDiagnostic(QStringLiteral("no display to show the window on; use --print to write the "
                                     "information to standard output"));
      return 1;
    }
    return AShowWindow(argc, argv);
  }
}
