// Starts the program the way the window does and ends as soon as the window
// has been shown and painted once; bench/startup.py times the whole process.

#include "app/KelvaneApplication.h"
#include "app/Main.h"
#include "app/Startup.h"

#include <QTimer>

int main(int argc, char** argv) {
  TModuleLifetime Modules;
  TKelvaneApplication App(argc, argv);
  TfrmKelvane Form;
  Form.Init();
  Form.show();
  QTimer::singleShot(0, &App, [&] {
    Form.grab();
    App.quit();
  });
  return App.exec();
}
