#include "platform/windows/WindowsCom.h"

#include "platform/Wmi.h"

#include <wbemidl.h>

namespace {

// The texts WMI's own tools show for the codes a caller meets; FormatMessage
// knows none of them without WMI's message module.
QString wbemText(HRESULT ACode) {
  switch (ACode) {
  case WbemStatus::WBEM_E_FAILED:
    return QStringLiteral("Generic failure");
  case WbemStatus::WBEM_E_NOT_FOUND:
    return QStringLiteral("Not found");
  case WbemStatus::WBEM_E_INVALID_NAMESPACE:
    return QStringLiteral("Invalid namespace");
  case WbemStatus::WBEM_E_INVALID_CLASS:
    return QStringLiteral("Invalid class");
  case WbemStatus::WBEM_E_INVALID_QUERY:
    return QStringLiteral("Invalid query");
  case WbemStatus::WBEM_E_INVALID_QUERY_TYPE:
    return QStringLiteral("Invalid query type");
  case HRESULT(::WBEM_E_ACCESS_DENIED):
    return QStringLiteral("Access denied");
  case HRESULT(::WBEM_E_INVALID_PARAMETER):
    return QStringLiteral("Invalid parameter");
  case HRESULT(::WBEM_E_TIMED_OUT):
    return QStringLiteral("Timed out");
  case HRESULT(::WBEM_E_QUOTA_VIOLATION):
    return QStringLiteral("Quota violation");
  default:
    return QString();
  }
}

} // namespace

void RaiseOleError(HRESULT ACode, const QString& ASource) {
  QString Text = wbemText(ACode);
  if (Text.isEmpty())
    Text = SystemErrorText(DWORD(ACode));
  throw EOleException(Text, ACode, ASource);
}

TComApartment::TComApartment(DWORD AModel) : FThread(::GetCurrentThreadId()) {
  const HRESULT Result = ::CoInitializeEx(nullptr, AModel);
  if (Result == RPC_E_CHANGED_MODE)
    return;
  CheckOle(Result, QStringLiteral("CoInitializeEx"));
  FInitialized = true;
}

TComApartment::~TComApartment() {
  if (FInitialized)
    ::CoUninitialize();
}
