#include "app/Startup.h"

#include "app/KelvaneFunctions.h"
#include "common/Diagnostics.h"
#include "inventory/IPAddressHelpers.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/Platform.h"
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

TCommandLine ParseCommandLine(const QStringList& AArguments) {
  TCommandLine Line;
  const auto usage = [&Line](const QString& AError) {
    Line.Command = TCommand::Usage;
    Line.Error = AError;
    return Line;
  };
  for (qsizetype I = 1; I < AArguments.size(); ++I) {
    const QString& Argument = AArguments[I];
    QString* File = nullptr;
    QString Option = Argument.section(u'=', 0, 0);
    if (Option == QLatin1String("--snapshot"))
      File = &Line.Snapshot;
    else if (Option == QLatin1String("--save-snapshot"))
      File = &Line.SaveSnapshot;
    if (File) {
      if (Argument.contains(u'='))
        *File = Argument.section(u'=', 1);
      else if (I + 1 < AArguments.size())
        *File = AArguments[++I];
      if (File->isEmpty())
        return usage(QStringLiteral("option '%1' needs a file name").arg(Option));
    } else if (Argument == QLatin1String("--version") || Argument == QLatin1String("-v")) {
      Line.Command = TCommand::Version;
    } else if (Argument == QLatin1String("--help") || Argument == QLatin1String("-h")) {
      Line.Command = TCommand::Help;
      return Line;
    } else if (Argument == QLatin1String("--print")) {
      Line.Command = TCommand::Print;
    } else {
      return usage(QStringLiteral("unknown option '%1'").arg(Argument));
    }
  }
  if (!Line.SaveSnapshot.isEmpty()) {
    if (Line.Command == TCommand::Print)
      return usage(QStringLiteral("--save-snapshot and --print cannot be combined"));
    if (Line.Command == TCommand::Window)
      Line.Command = TCommand::SaveSnapshot;
  }
  return Line;
}

QString UsageText() {
  return QStringLiteral(
      "Usage: kelvane [--print | --version | --help] [--snapshot FILE]\n"
      "       kelvane --save-snapshot FILE [--snapshot FILE]\n"
      "Shows the network identity of this computer in a window.\n"
      "\n"
      "  --print                 write what the window shows to standard output\n"
      "  --save-snapshot FILE    save what is known of this machine to FILE\n"
      "  --snapshot FILE         show the machine saved in FILE instead of this one\n"
      "  --version               print the version and exit\n"
      "  --help                  print this text and exit\n");
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
  const TCommandLine Line = ParseCommandLine(Arguments);
  const TCommand Command = Line.Command;
  int Closed = ProtectStandardStreams();
  // A text asked for from a console shows there even when this is a program
  // without a console of its own; the window needs none.
  if (Command != TCommand::Window)
    Closed &= ~AttachParentConsole(Closed);
  const bool OutputClosed = (Closed & StandardOutputStream) != 0;
  switch (Command) {
  case TCommand::Usage:
    PrintDiagnostic(Line.Error);
    std::fputs(qPrintable(UsageText()), stderr);
    return 2;
  case TCommand::Help:
    return writeOutput(stdout, UsageText().toUtf8(), OutputClosed);
  default:
    break;
  }
  // The machine a saved snapshot describes stands in for this one before
  // anything (logging included) asks the platform.
  if (!Line.Snapshot.isEmpty() && Command != TCommand::Version)
    if (const QString Failure = UseMachineSnapshot(Line.Snapshot); !Failure.isEmpty()) {
      PrintDiagnostic(Failure);
      return 1;
    }
  switch (Command) {
  case TCommand::SaveSnapshot:
    if (const QString Failure = SaveMachineSnapshot(Line.SaveSnapshot); !Failure.isEmpty()) {
      PrintDiagnostic(Failure);
      return 1;
    }
    return 0;
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
