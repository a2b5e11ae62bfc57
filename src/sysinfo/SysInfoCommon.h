#pragma once
// The base of the system-information components and the helpers every one
// of them runs when it is made: the logged-on user of the session, that
// user's SID, and the kind of session and machine (local, terminal,
// virtual machines), plus the NetBIOS adapter addresses.

#include "common/DateTime.h"
#include "platform/NetApi.h"
#include "sysinfo/SysInfoDefs.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <set>

enum TSessionType { stLocal, stVMWare, stVPC, stVBOX, stQEMU, stTerminal, stCitrix };
using TSessionTypes = std::set<TSessionType>;

struct TStorageInfoRecord {
  std::int32_t SIFVersion = 0;
  QString Machine, Title, Copyright, Application, OS, OSName, OSEdition;
  std::int32_t OSPlatform = 0, OSMajorVersion = 0, OSMinorversion = 0, OSBuildNumber = 0;
  QString OSCSDVersion;
  TDateTime Timestamp;
  QString Security, LoggedUser, LoggedUserSID, Account, Session;
  std::int32_t SessionID = 0;
  QString Comment, IP, FileName, MD5;
  bool Encrypted = false;
};

using TOnDebugEvent = std::function<void(QObject* ASender, const QString& AText)>;

class TSysInfoComponent : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString _About READ About CONSTANT)
  Q_PROPERTY(QString _Refresh READ Refresh CONSTANT)
  Q_PROPERTY(bool LiveData READ LiveData)

public:
  // The owner destroys the component with itself.
  explicit TSysInfoComponent(QObject* AOwner = nullptr);

  // The base part of every refresh; the scan options are not looked at.
  virtual void RefreshData(int AScanObjects);
  // Storage files are not written or read by this program.
  virtual bool SaveToStorage(const QString& AFilename, const QString& AComment);
  virtual bool LoadFromStorage(const QString& AFilename);
  // Re-targets the user information at another session.
  void SetSession(DWORD ASessionID);

  QString About() const;
  QString Refresh() const { return QStringLiteral("Double-click to get data"); }
  bool LiveData() const { return FLiveData; }
  const TOnDebugEvent& OnDebug() const { return FOnDebug; }
  void SetOnDebug(TOnDebugEvent AValue) { FOnDebug = std::move(AValue); }
  const QString& StorageFilename() const { return FStorageFilename; }
  const TStorageInfoRecord& StorageInfo() const { return FStorageInfo; }
  bool ConvertTimeToLocal() const { return FConvertTimeToLocal; }
  void SetConvertTimeToLocal(bool AValue) { FConvertTimeToLocal = AValue; }
  const QString& LoggedUser() const { return FLoggedUser; }
  const QString& SID() const { return FSID; }
  DWORD SessionID() const { return FSessionID; }
  const TSessionTypes& Session() const { return FSession; }
  bool DataAvailable() const { return FDataAvailable; }

protected:
  void SetDataAvailable(bool AValue) { FDataAvailable = AValue; }

private:
  void recordOSVersion();

  bool FConvertTimeToLocal = true;
  bool FLiveData = true;
  TOnDebugEvent FOnDebug;
  QString FStorageFilename;
  TStorageInfoRecord FStorageInfo;
  QString FLoggedUser;
  QString FSID;
  DWORD FSessionID = WTS_CURRENT_SESSION;
  TSessionTypes FSession;
  bool FDataAvailable = false;
};

// The user of session ASessionID (WTS_CURRENT_SESSION: this one), as
// "user@domain" when the domain is another machine's or a domain's.
QString GetLoggedUser(DWORD ASessionID);
// Empty when the account is unknown.
QString GetAccountSID(const QString& AMachine, const QString& AAccount);
QString SIDToText(const TSid& ASid);
TSessionTypes GetSessionTypes();
// The NetBIOS adapter addresses for AMachineName ("00-1A-2B-3C-4D-5E") in
// AList; the number of LAN adapter numbers, -1 when they cannot be listed.
int GetNetBIOSMACAddresses(const QString& AMachineName, QStringList& AList);
QString FormatMACAddress(const QByteArray& ABytes);
