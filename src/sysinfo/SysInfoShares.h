#pragma once
// The shares, sessions, open files and connections of a server, through the
// network-management port. A machine where the server service does not run
// (every Linux machine) has none of them.

#include "common/Persistent.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

enum TShareType { stDisk, stPrnQue, stCommDev, stIPC, stSpecial };

struct TNTShareRecord {
  QString Name;
  TShareType ShareType = stDisk;
  QString Comment;
  std::uint32_t Permissions = 0, MaxUserCount = 0, CurUserCount = 0;
  QString Path, Password;
  bool SecurityDesc = false;
};

struct TNTSessionRecord {
  QString Name, UserName, SesiType;
  std::uint32_t OpenFiles = 0, ConnectedTime = 0, IdleTime = 0;
  bool Guest = false;
  QString Transport;
};

struct TOpenFileRecord {
  QByteArray Name, UserName, Sharename; // 8-bit texts of at most 255 characters
  std::uint32_t Locks = 0, Mode = 0, ID = 0;
};

struct TConnectionRecord {
  QString Name, UserName;
  std::uint32_t ID = 0;
  TShareType ConnType = stDisk;
  std::uint32_t Time = 0, OpenFiles = 0, Users = 0;
};

// "\\" + the name, "." for an empty one; a name that starts with "\" stays.
QString NormalizeServerName(const QString& AName);

// Records by key, in the order they came.
template <class T> class TKeyedRecords {
public:
  void Clear() { FItems.clear(); }
  void Add(const QString& AKey, T ARecord) { FItems.emplace_back(AKey, std::move(ARecord)); }
  int Count() const { return int(FItems.size()); }
  // Null for an index at or beyond the count.
  const T* At(int AIndex) const {
    return AIndex >= 0 && AIndex < Count() ? &FItems[std::size_t(AIndex)].second : nullptr;
  }
  const QString& KeyAt(int AIndex) const { return FItems[std::size_t(AIndex)].first; }

private:
  std::vector<std::pair<QString, T>> FItems;
};

class TNTShares : public TPersistent {
public:
  TNTShares();

  void RefreshShares();
  void RefreshSessions();
  void RefreshOpenFiles();

  int ShareCount() const { return FShares.Count(); }
  int SessionCount() const { return FSessions.Count(); }
  int OpenFileCount() const { return FOpenFiles.Count(); }
  const TNTShareRecord* Shares(int AIndex) const { return FShares.At(AIndex); }
  const TNTSessionRecord* Sessions(int AIndex) const { return FSessions.At(AIndex); }
  const TOpenFileRecord* OpenFiles(int AIndex) const { return FOpenFiles.At(AIndex); }

  const QString& Machine() const { return FMachine; }
  void SetMachine(const QString& AValue) { FMachine = NormalizeServerName(AValue); }

private:
  QString FMachine;
  TKeyedRecords<TNTShareRecord> FShares;
  TKeyedRecords<TNTSessionRecord> FSessions;
  TKeyedRecords<TOpenFileRecord> FOpenFiles;
};

class TConnections : public TPersistent {
public:
  TConnections();

  void Refresh(bool AClearPrevious);
  int ConnectionCount() const { return FConnections.Count(); }
  const TConnectionRecord* Connections(int AIndex) const { return FConnections.At(AIndex); }

  const QString& Machine() const { return FMachine; }
  void SetMachine(const QString& AValue) { FMachine = NormalizeServerName(AValue); }
  const QString& Qualifier() const { return FQualifier; }
  void SetQualifier(const QString& AValue) { FQualifier = AValue; }

private:
  QString FMachine;
  QString FQualifier;
  TKeyedRecords<TConnectionRecord> FConnections;
};
