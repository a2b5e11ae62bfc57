#include "platform/windows/WindowsSockets.h"

int WindowsSockets::WSAAddressToString(const TSocketAddress& AAddress, QString& AText) {
  const std::optional<QString> Text = FormatSocketAddress(AAddress, FLastError);
  if (!Text)
    return SOCKET_ERROR;
  AText = *Text;
  return 0;
}
