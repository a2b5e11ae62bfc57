#pragma once
// What the Windows helpers (files, private folders, processes) share: the
// accounts a file's owner and access list are judged against, and the access
// list of what the program makes.

#include "platform/windows/WindowsErrorText.h"

#include <QString>

#include <vector>

// The SID of the user a token (of a process or thread) acts for, copied
// out of the token; empty when the token cannot be read. Defined in
// WindowsSafeFolder.cpp.
std::vector<BYTE> TokenUserSid(HANDLE AToken);

// The account this process runs as, and the accounts Windows itself acts
// as, read from the process's token when made. This class and
// TPrivateSecurity are defined in WindowsSafeFolder.cpp.
class TAccounts {
public:
  TAccounts();

  // False when the token could not be read; nothing is then trusted.
  bool Valid() const noexcept { return !FUser.empty(); }
  PSID User() const noexcept { return sid(FUser); }
  // The user's SID as text ("S-1-5-21-...").
  const QString& UserText() const noexcept { return FUserText; }

  // May own a folder the walk goes on from: the user, or SYSTEM, the
  // Administrators group or TrustedInstaller, which own the system's own
  // folders and could do anything to ours anyway.
  bool Trusted(PSID AOwner) const noexcept;
  // May own a folder or file the program writes into: the user, and the
  // Administrators group when the user runs elevated, as Windows makes
  // that group the owner of whatever an elevated administrator creates.
  bool Own(PSID AOwner) const noexcept;
  // Whom an access list may let write without that counting as others:
  // the trusted accounts, and OWNER RIGHTS, which stands for the owner.
  bool MayWrite(PSID ATrustee) const noexcept;

private:
  static PSID sid(const std::vector<BYTE>& ASid) noexcept {
    return ASid.empty() ? nullptr : PSID(const_cast<BYTE*>(ASid.data()));
  }
  static bool same(const std::vector<BYTE>& ASid, PSID AOther) noexcept;

  std::vector<BYTE> FUser;
  QString FUserText;
  std::vector<BYTE> FSystem;
  std::vector<BYTE> FAdministrators;
  std::vector<BYTE> FTrustedInstaller;
  std::vector<BYTE> FOwnerRights;
  bool FElevated = false;
};

// Security for a file or folder the program makes: owned by the user, full
// control for the user, SYSTEM and Administrators and nobody else, nothing
// inherited from the folder it lies in. A folder passes the same on to
// what is made inside it.
class TPrivateSecurity {
public:
  TPrivateSecurity(const TAccounts& AAccounts, bool AFolder);
  ~TPrivateSecurity();
  TPrivateSecurity(const TPrivateSecurity&) = delete;
  TPrivateSecurity& operator=(const TPrivateSecurity&) = delete;

  // Null when the descriptor could not be built: nothing is then made, as
  // it would get the folder's access list instead.
  SECURITY_ATTRIBUTES* Attributes() noexcept { return FDescriptor ? &FAttributes : nullptr; }
  // The access list alone, to make an existing file private again.
  PACL Dacl() const noexcept;

private:
  PSECURITY_DESCRIPTOR FDescriptor = nullptr;
  SECURITY_ATTRIBUTES FAttributes{};
};
