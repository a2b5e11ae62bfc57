#pragma once
// The active set of ports. Production code asks Platform::current(); tests
// install fakes for a scope with ScopedPlatform. Nothing above this layer
// knows which backend answers.

class IRegistry;
class ISystemInfo;
class ISockets;
class IWmi;
class INetBios;
class INetApi;
class IAccounts;
class IIpHelper;
class QString;

class Platform {
public:
  virtual ~Platform() = default;
  virtual IRegistry& Registry() = 0;
  virtual ISystemInfo& SystemInfo() = 0;
  virtual ISockets& Sockets() = 0;
  virtual IWmi& Wmi() = 0;
  virtual INetBios& NetBios() = 0;
  virtual INetApi& NetApi() = 0;
  virtual IAccounts& Accounts() = 0;
  virtual IIpHelper& IpHelper() = 0;

  // The installed platform, or DefaultPlatform() when none is.
  static Platform& current();
};

// The platform of the system the program runs on, made on first use. The
// backend target of that system defines it (kelvane_platform_linux,
// kelvane_platform_windows); the ports know no backend, so a program that
// links none of them does not link.
Platform& DefaultPlatform();

// The machine as a file: a snapshot of everything the backend knows of it,
// saved, or read back in place of the live machine (called before the
// platform is first used). Defined by the backend beside DefaultPlatform();
// a system without snapshots says so. Empty on success, else one line
// naming the cause.
QString SaveMachineSnapshot(const QString& AFile);
QString UseMachineSnapshot(const QString& AFile);

// Installs APlatform for the lifetime of this object and restores the
// previous one afterwards; scopes nest.
class ScopedPlatform {
public:
  explicit ScopedPlatform(Platform& APlatform);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
  Platform* FPrevious;
};
