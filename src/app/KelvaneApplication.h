#pragma once
// The window framework's application object. An exception escaping a
// handler inside the event loop is caught here, logged, and the program
// goes on.

#include <QApplication>

class TKelvaneApplication : public QApplication {
  Q_OBJECT
public:
  using QApplication::QApplication;
  bool notify(QObject* AReceiver, QEvent* AEvent) override;
};
