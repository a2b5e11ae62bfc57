#pragma once
// The WMI report on Win32_NetworkAdapterConfiguration that completes the
// adapter records of the working file: for each instance it finds the
// record by hardware address (and name, see FindAdapterByMAC) and adds the
// DNS names, two settings, the IPv6 addresses with their prefixes and the
// IPv6 gateways with their metrics; then it writes the records back.

#include "inventory/NetworkAdapterData.h"
#include "inventory/dcuCustom_WMI_Report.h"

class TWmiNetcard : public TCustomWMI_Report {
public:
  TWmiNetcard();
  ~TWmiNetcard() override;

  // Reads the records of NetworkAdapters.xml in AOutputDirectory (a "WMI\"
  // in the path is taken out).
  void Init(const QString& AOutputDirectory) override;
  // The report text to AFilename, then the records to the working file;
  // when both are the same file only the records are written.
  void SaveToFile(const QString& AFilename) override;

  // The records are looked up by hardware address and name through an index
  // that lives for one scan.
  void DoScan() override;

  const IList<TNetworkAdapterData>& NetworkAdapterList() const { return FNetworkAdapterList; }
  const QString& TargetFile() const { return FTargetFile; }

protected:
  void ProcessObject(const TWmiObject& AObject) override;

private:
  // The record with that hardware address (any letter case) and, among
  // several, the one whose name is the instance's description.
  TNetworkAdapterData* FindAdapterByMAC(const QString& AMacAddress, const QString& ADescription);

  struct TAdapterIndex;

  IList<TNetworkAdapterData> FNetworkAdapterList;
  QString FTargetFile;
  std::unique_ptr<TAdapterIndex> FIndex;
};
