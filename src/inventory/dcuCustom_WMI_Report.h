#pragma once
// A report of every instance of one WMI class of this computer as INI-like
// text: one section per instance, one "name=value" line per property in
// case-insensitive alphabetical order (";name=value" when the value is
// blank), then a closing section with the last instance's index. Values can
// be replaced per property by a translator file
// WMITRANSLATORS/<class>.ini beside the program. A derived report completes
// its own data from each instance before its lines are written.

#include "common/IniFiles.h"
#include "platform/Wmi.h"

#include <QStringList>

#include <map>
#include <memory>

class TCustomWMI_Report {
public:
  TCustomWMI_Report();
  virtual ~TCustomWMI_Report();
  TCustomWMI_Report(const TCustomWMI_Report&) = delete;
  TCustomWMI_Report& operator=(const TCustomWMI_Report&) = delete;

  const QString& WMI_Class() const { return fwmi_Class; }
  // Stores the class and loads its translator.
  void SetWMI_Class(const QString& AValue);
  const QString& WMI_ClassName() const { return fwmi_Class; }
  const QStringList& WMI_Props() const { return WMI_Properties; }

  // The property names from the class definition.
  void AddAllProperties();
  virtual void DoScan();
  void Report(QStringList& AOutput);
  // The report as UTF-16 LE text with its mark, CR LF line ends; the file
  // is replaced as a whole.
  virtual void SaveToFile(const QString& AFilename);
  virtual void Init(const QString& AOutputDirectory);

  // Where translators are looked for (the program's folder + WMITRANSLATORS/).
  const QString& EvalDirectory() const { return FEvalDirectory; }
  void SetEvalDirectory(const QString& AValue);

  QStringList ClassReport;
  QStringList WMI_Properties; // sorted without regard to case, no repeats

protected:
  virtual void ProcessObject(const TWmiObject& AObject);
  bool Reported() const { return fReported; }

private:
  void LoadTranslator();
  QString ParseProp(const TWmiProperty& AProperty);
  QString EvalProperty(const QString& AName, const QString& AValue);
  std::unique_ptr<IWmiServices> connect();
  void addProperty(const QString& AName);

  bool fReported = false;
  QString FEvalDirectory;
  QString fwmi_Class;
  std::map<QString, std::unique_ptr<TMemIniFile>> fWmiTranslatorsHash;
};
