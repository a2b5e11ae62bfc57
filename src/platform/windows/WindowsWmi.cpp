#include "platform/windows/WindowsCom.h"
#include "platform/windows/WindowsWmiValues.h"

#include <wbemidl.h>

#include "platform/windows/WindowsWmi.h"

#include <mutex>

namespace {

using TClock = std::chrono::steady_clock;

bool isLocal(const QString& AServer) {
  return AServer.isEmpty() || AServer == QLatin1String(".") ||
         AServer.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

// Security is the process's, set once before COM sets it by itself on the
// first call that needs it; if that already happened (RPC_E_TOO_LATE), or
// the program set it, the proxy blankets below still ask for what WMI needs.
void initializeSecurity() {
  static std::mutex Lock;
  static bool Done = false;
  const std::lock_guard Guard(Lock);
  if (Done)
    return;
  const HRESULT Result =
      ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (Result != RPC_E_TOO_LATE)
    CheckOle(Result, QStringLiteral("CoInitializeSecurity"));
  Done = true;
}

// WMI acts as its caller only when the proxy lets it impersonate. An object
// served in this process has no proxy (E_NOINTERFACE) and needs none.
void setBlanket(IUnknown* AProxy) {
  const HRESULT Result =
      ::CoSetProxyBlanket(AProxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (Result != E_NOINTERFACE)
    CheckOle(Result, QStringLiteral("CoSetProxyBlanket"));
}

[[noreturn]] void raiseLimit(HRESULT ACode, const QString& AWhat) {
  RaiseOleError(ACode, QStringLiteral("IEnumWbemClassObject::Next (%1)").arg(AWhat));
}

class TWindowsWmiServices : public IWmiServices {
public:
  TWindowsWmiServices(std::unique_ptr<TComApartment> AApartment, TComPtr<IWbemServices> AServices,
                      const WindowsWmi::TLimits& ALimits)
      : FApartment(std::move(AApartment)), FServices(std::move(AServices)), FLimits(ALimits) {}

  std::vector<TWmiObject> ExecQuery(const QString& AQuery, const QString& ALanguage,
                                    int AFlags) override;

private:
  TWmiObject readObject(IWbemClassObject& AObject) const;

  // Declared first so it goes last: COM stays up until the services are released.
  std::unique_ptr<TComApartment> FApartment;
  TComPtr<IWbemServices> FServices;
  WindowsWmi::TLimits FLimits;
};

TWmiObject TWindowsWmiServices::readObject(IWbemClassObject& AObject) const {
  TVariant ClassName;
  const bool HasClass = SUCCEEDED(AObject.Get(L"__CLASS", 0, ClassName.Put(), nullptr, nullptr)) &&
                        V_VT(&ClassName.Get()) == VT_BSTR;
  TWmiObject Result(HasClass ? WmiValue(ClassName.Get(), CIM_STRING).toString() : QString());
  CheckOle(AObject.BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY),
           QStringLiteral("IWbemClassObject::BeginEnumeration"));
  struct TEnd {
    IWbemClassObject& Object;
    ~TEnd() { Object.EndEnumeration(); }
  } End{AObject};
  for (int Count = 0;; ++Count) {
    TBstr Name;
    TVariant Value;
    CIMTYPE Type = CIM_EMPTY;
    const HRESULT Status = AObject.Next(0, Name.Put(), Value.Put(), &Type, nullptr);
    if (Status == WBEM_S_NO_MORE_DATA)
      break;
    CheckOle(Status, QStringLiteral("IWbemClassObject::Next"));
    if (Count >= FLimits.MaxProperties)
      RaiseOleError(HRESULT(::WBEM_E_QUOTA_VIOLATION),
                    QStringLiteral("IWbemClassObject::Next (more than %1 properties)")
                        .arg(FLimits.MaxProperties));
    AddWmiProperty(Result, Name.Text(), Value.Get(), Type);
  }
  return Result;
}

std::vector<TWmiObject> TWindowsWmiServices::ExecQuery(const QString& AQuery,
                                                       const QString& ALanguage, int AFlags) {
  if (::GetCurrentThreadId() != FApartment->Thread())
    RaiseOleError(RPC_E_WRONG_THREAD, QStringLiteral("IWbemServices::ExecQuery"));
  const TBstr Language(ALanguage), Query(AQuery);
  TComPtr<IEnumWbemClassObject> Enumerator;
  CheckOle(FServices->ExecQuery(Language.Get(), Query.Get(),
                                AFlags | WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                nullptr, Enumerator.Put()),
           QStringLiteral("IWbemServices::ExecQuery"));
  setBlanket(Enumerator.Get());

  const TClock::time_point Deadline = TClock::now() + FLimits.Total;
  std::vector<TWmiObject> Result;
  for (;;) {
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now());
    if (Left.count() <= 0)
      raiseLimit(HRESULT(::WBEM_E_TIMED_OUT), QStringLiteral("answer not complete in time"));
    TComPtr<IWbemClassObject> Object;
    ULONG Returned = 0;
    const HRESULT Status = Enumerator->Next(long(std::min(Left, FLimits.NextTimeout).count()), 1,
                                            Object.Put(), &Returned);
    CheckOle(Status, QStringLiteral("IEnumWbemClassObject::Next"));
    if (Returned == 0 || !Object) {
      if (Status == WBEM_S_TIMEDOUT)
        raiseLimit(HRESULT(::WBEM_E_TIMED_OUT), QStringLiteral("no object in time"));
      break;
    }
    if (int(Result.size()) >= FLimits.MaxObjects)
      raiseLimit(HRESULT(::WBEM_E_QUOTA_VIOLATION),
                 QStringLiteral("more than %1 objects").arg(FLimits.MaxObjects));
    Result.push_back(readObject(*Object.Get()));
  }
  return Result;
}

} // namespace

std::unique_ptr<IWmiServices> WindowsWmi::ConnectServer(const QString& AServer,
                                                        const QString& ANamespace,
                                                        const QString& AUser,
                                                        const QString& APassword) {
  auto Apartment = std::make_unique<TComApartment>();
  initializeSecurity();
  TComPtr<IWbemLocator> Locator;
  CheckOle(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              Locator.PutVoid()),
           QStringLiteral("CoCreateInstance(WbemLocator)"));
  const TBstr Path(isLocal(AServer) ? ANamespace
                                    : QStringLiteral("\\\\%1\\%2").arg(AServer, ANamespace));
  // No user or password: a null BSTR, which WMI takes for the caller's own account.
  const TBstr User(AUser), Password(APassword);
  TComPtr<IWbemServices> Services;
  CheckOle(Locator->ConnectServer(Path.Get(), AUser.isEmpty() ? nullptr : User.Get(),
                                  APassword.isEmpty() ? nullptr : Password.Get(), nullptr, 0,
                                  nullptr, nullptr, Services.Put()),
           QStringLiteral("IWbemLocator::ConnectServer"));
  setBlanket(Services.Get());
  return std::make_unique<TWindowsWmiServices>(std::move(Apartment), std::move(Services), FLimits);
}
