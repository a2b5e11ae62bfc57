#include "app/KelvaneApplication.h"

#include "logging/MorvelDebug.h"

bool TKelvaneApplication::notify(QObject* AReceiver, QEvent* AEvent) {
  try {
    return QApplication::notify(AReceiver, AEvent);
  } catch (...) {
    GetLogger()->LogException(QString());
    return false;
  }
}
