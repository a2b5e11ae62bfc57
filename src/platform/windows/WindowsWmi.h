#pragma once
// The management-instrumentation port over COM: WMI's own locator and
// services, the query text passed to WMI as it is. COM is initialised on the
// calling thread (single-threaded apartment, the one the window's thread
// runs in; a thread already in the multithreaded one keeps it) for as long
// as a connection lives, and a connection is used, and let go, on the
// thread that made it: a query from another thread gets RPC_E_WRONG_THREAD.
// Every failure raises EOleException with WMI's HRESULT.

#include "platform/Wmi.h"

#include <chrono>

class WindowsWmi : public IWmi {
public:
  // How long a query may keep its caller waiting, and how much it may
  // return: WBEM_E_TIMED_OUT when WMI sends no next object within
  // NextTimeout or the whole answer takes longer than Total,
  // WBEM_E_QUOTA_VIOLATION beyond MaxObjects objects or MaxProperties
  // properties of one object.
  struct TLimits {
    std::chrono::milliseconds NextTimeout{30000};
    std::chrono::milliseconds Total{120000};
    int MaxObjects = 10000;
    int MaxProperties = 4096;
  };

  WindowsWmi() = default;
  explicit WindowsWmi(const TLimits& ALimits) : FLimits(ALimits) {}

  // An empty server, "." and "localhost" (any letter case) are this machine.
  std::unique_ptr<IWmiServices> ConnectServer(const QString& AServer, const QString& ANamespace,
                                              const QString& AUser,
                                              const QString& APassword) override;

private:
  TLimits FLimits;
};
