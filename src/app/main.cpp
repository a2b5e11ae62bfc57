// `kelvane` (`kelvane-cli.exe` on Windows): everything but the window runs
// here without Qt's GUI library, which would cost --print most of its
// start-up; the window is the companion program (`kelvane-window`,
// `kelvane.exe` on Windows), run in place of this process.

#include "app/Startup.h"
#include "common/Diagnostics.h"
#include "platform/Process.h"

namespace {
int runWindowProgram(int, char** argv) {
  const QString Failure = RunSiblingProgram(QStringLiteral(KELVANE_WINDOW_PROGRAM), argv);
  PrintDiagnostic(QStringLiteral("cannot start the window: ") + Failure);
  return 1;
}
} // namespace

int main(int argc, char** argv) {
  return KelvaneMain(argc, argv, &runWindowProgram);
}
