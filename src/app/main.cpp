#include "app/Main.h"
#include "app/KelvaneApplication.h"
#include "app/KelvaneFunctions.h"
#include "app/Startup.h"
#include "logging/MorvelDebug.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

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

int failed(const Exception& AError) {
  std::fprintf(stderr, "kelvane: %s\n", AError.what());
  return 1;
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
    return failed(E);
  }
}

int showWindow(int argc, char** argv) {
  if (!displayAvailable()) {
    std::fputs("kelvane: no display to show the window on; use --print to write the "
               "information to standard output\n",
               stderr);
    return 1;
  }
  TModuleLifetime Modules;
  TKelvaneApplication App(argc, argv);
  QCoreApplication::setApplicationName(QLatin1String(KelvaneTitle));
  QCoreApplication::setApplicationVersion(QLatin1String(KelvaneVersion));
  TfrmKelvane Form;
  if (const auto Error = TryInit(Form)) {
    std::fprintf(stderr, "kelvane: %s\n", qPrintable(*Error));
    return 1;
  }
  Form.show();
  return App.exec();
}

} // namespace

int main(int argc, char** argv) {
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
    return showWindow(argc, argv);
  }
}
