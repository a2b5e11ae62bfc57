#pragma once
// The adapter records of the machine: the system's adapter-addresses view
// (descriptions, hardware addresses, IPv4/IPv6 flags, DNS servers, DHCPv6
// identity) merged with the network component's adapter table (DHCP and
// WINS flags, type, speed, the IPv4 lists) by hardware address and name,
// then written to the adapter file.

#include "inventory/NetworkAdapterData.h"

#include <memory>

class TSysInfoNetwork;

class TNetworkAdapterScanner {
public:
  // The component must be given, refreshed; it is not owned.
  explicit TNetworkAdapterScanner(TSysInfoNetwork* ASysInfoNetwork);
  ~TNetworkAdapterScanner();

  // The system's adapters first, in its order, then the component's that
  // matched none of them.
  void Scan();
  void SaveToFile(const QString& AFilename);
  const IList<TNetworkAdapterData>& NetworkAdapterList() const { return FNetworkAdapterList; }

private:
  void ReadAdpatersFromAPI();
  // The record with this hardware address and (trimmed, any case) name, or
  // a new one.
  TNetworkAdapterData* FindOrAddAdapter(const QString& AName, const QString& AMacAddress);

  struct TAdapterIndex;

  TSysInfoNetwork* FSysInfoNetwork;
  IList<TNetworkAdapterData> FNetworkAdapterList;
  // While Scan() merges: the first record of each hardware address and name.
  std::unique_ptr<TAdapterIndex> FIndex;
};
