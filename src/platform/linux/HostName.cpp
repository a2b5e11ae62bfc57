#include "platform/linux/HostName.h"

THostName ParseHostName(const QByteArray& AText) {
  // The kernel allows 64 bytes; a file may hold anything.
  QString Host = QString::fromUtf8(AText.left(255)).trimmed();
  if (const qsizetype End = Host.indexOf(u'\n'); End >= 0)
    Host.truncate(End);
  // Other control characters stay: whoever shows the name makes them visible.
  Host = Host.trimmed();
  return {Host, Host.section(u'.', 0, 0), Host.section(u'.', 1)};
}
