// `kelvane-window`: the whole program, window included; `kelvane` runs it
// for the window.

#include "app/KelvaneApplication.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "common/Diagnostics.h"
#include "logging/LogImages.h"

namespace {
int showWindow(int argc, char** argv) {
  TModuleLifetime Modules;
  TKelvaneApplication App(argc, argv);
  QCoreApplication::setApplicationName(QLatin1String(KelvaneTitle));
  QCoreApplication::setApplicationVersion(QLatin1String(KelvaneVersion));
  TfrmKelvane Form;
  if (const auto Error = TryInit(Form)) {
    PrintDiagnostic(*Error);
    return 1;
  }
  Form.show();
  return App.exec();
}
} // namespace

int main(int argc, char** argv) {
  RegisterLogImages();
  return KelvaneMain(argc, argv, &showWindow);
}
