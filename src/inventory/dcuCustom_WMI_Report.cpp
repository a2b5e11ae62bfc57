#include "inventory/dcuCustom_WMI_Report.h"

#include "common/Exceptions.h"
#include "logging/MethodLog.h"
#include "logging/MorvelDebug.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringEncoder>

namespace {
constexpr int QueryFlags = 48; // return immediately, forward only
const QString Separator = QStringLiteral("<|>");

// The logical disks are asked for by their drive letters, C to Z.
QString logicalDiskQuery() {
  QStringList Drives;
  for (char Letter = 'C'; Letter <= 'Z'; ++Letter)
    Drives << QStringLiteral("(DEVICEID = '%1:')").arg(QLatin1Char(Letter));
  return QStringLiteral("SELECT * FROM Win32_LogicalDisk WHERE ") +
         Drives.join(QLatin1String(" OR "));
}

bool isTranslated(int ACimType) {
  switch (ACimType & ~wbemCimtypeArrayFlag) {
  case wbemCimtypeSint16:
  case wbemCimtypeSint32:
  case wbemCimtypeSint8:
  case wbemCimtypeUint8:
  case wbemCimtypeUint16:
  case wbemCimtypeUint32:
  case wbemCimtypeSint64:
  case wbemCimtypeString:
  case wbemCimtypeUint64:
    return true;
  default:
    return false;
  }
}
} // namespace

TCustomWMI_Report::TCustomWMI_Report() {
  FEvalDirectory =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("WMITRANSLATORS")) +
      u'/';
}

TCustomWMI_Report::~TCustomWMI_Report() = default;

void TCustomWMI_Report::SetWMI_Class(const QString& AValue) {
  fwmi_Class = AValue;
  LoadTranslator();
}

void TCustomWMI_Report::SetEvalDirectory(const QString& AValue) {
  FEvalDirectory = AValue.endsWith(u'/') ? AValue : AValue + u'/';
  LoadTranslator();
}

void TCustomWMI_Report::LoadTranslator() {
  const QString Key = fwmi_Class + QLatin1String(".ini");
  fWmiTranslatorsHash.clear();
  const TFileContent Content = ReadBoundedFile(FEvalDirectory + Key, MaxIniBytes);
  if (Content.Ok()) {
    auto Translator = std::make_unique<TMemIniFile>();
    Translator->LoadFromBytes(Content.Data);
    fWmiTranslatorsHash[Key] = std::move(Translator);
  }
}

std::unique_ptr<IWmiServices> TCustomWMI_Report::connect() {
  return Platform::current().Wmi().ConnectServer(QString(), QStringLiteral("root\\cimv2"),
                                                 QString(), QString());
}

void TCustomWMI_Report::addProperty(const QString& AName) {
  const auto At = std::lower_bound(
      WMI_Properties.begin(), WMI_Properties.end(), AName,
      [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });
  if (At == WMI_Properties.end() || At->compare(AName, Qt::CaseInsensitive) != 0)
    WMI_Properties.insert(At, AName);
}

void TCustomWMI_Report::AddAllProperties() {
  WMI_Properties.clear();
  try {
    const std::vector<TWmiObject> Definitions = connect()->ExecQuery(
        QStringLiteral("SELECT * from Meta_Class Where __CLASS = \"%1\"").arg(fwmi_Class),
        QStringLiteral("WQL"), QueryFlags);
    if (!Definitions.empty())
      for (const TWmiProperty& Property : Definitions.front().Properties())
        addProperty(Property.Name);
  } catch (...) {
    GetLogger()->LogException(QString(), std::current_exception());
  }
}

void TCustomWMI_Report::ProcessObject(const TWmiObject&) {}

void TCustomWMI_Report::DoScan() {
  const QString MethodName = QStringLiteral("DoScan ") + fwmi_Class;
  GetLogger()->EnterMethod(lvDebug, MethodName);
  ClassReport.clear();
  const auto close = [&](int ALast) {
    ClassReport << QStringLiteral("[%1]").arg(fwmi_Class) << QStringLiteral("MAX=%1").arg(ALast)
                << QString();
  };
  try {
    if (WMI_Properties.isEmpty()) {
      GetLogger()->LogMessage(QStringLiteral("No objects"));
      close(-1);
      fReported = true;
    } else {
      int N = -1;
      fReported = false;
      try {
        const QString Query =
            fwmi_Class.compare(QLatin1String("Win32_LogicalDisk"), Qt::CaseInsensitive) == 0
                ? logicalDiskQuery()
                : QStringLiteral("SELECT * FROM ") + fwmi_Class;
        for (const TWmiObject& Object :
             connect()->ExecQuery(Query, QStringLiteral("WQL"), QueryFlags)) {
          ++N;
          ClassReport << QStringLiteral("[%1|%2]").arg(fwmi_Class).arg(N);
          ProcessObject(Object);
          for (const QString& Name : WMI_Properties) {
            try {
              const TWmiProperty* Property = Object.Property(Name);
              if (!Property)
                throw EOleException(QStringLiteral("Not found"), WBEM_E_NOT_FOUND);
              const QString Value = ParseProp(*Property);
              ClassReport << (Value.trimmed().isEmpty() ? u';' + Name : Name) + u'=' + Value;
            } catch (...) {
              GetLogger()->LogException(QString(), std::current_exception());
            }
          }
          ClassReport << QString();
        }
        close(N);
        fReported = true;
      } catch (...) {
        GetLogger()->LogException(QString(), std::current_exception());
        fReported = true;
      }
    }
  } catch (...) {
    close(-1);
  }
  GetLogger()->LeaveMethod(lvDebug, MethodName);
}

QString TCustomWMI_Report::ParseProp(const TWmiProperty& AProperty) {
  TMethodLog Log(lvDebug, QStringLiteral("ParseProp"));
  GetLogger()->LogString(QStringLiteral("WMIProperty"), AProperty.Name);
  if (!AProperty.Value.isValid() || AProperty.Value.isNull())
    return QString();
  QString Text;
  try {
    const int Type = AProperty.CimType;
    if (isTranslated(Type)) {
      if (Type & wbemCimtypeArrayFlag) {
        const QVariantList Items = AProperty.Value.toList();
        if (!Items.isEmpty() && Items.size() <= 500) {
          QStringList Texts;
          for (const QVariant& Item : Items)
            Texts << EvalProperty(AProperty.Name, Item.toString());
          Text = Texts.join(Separator);
        }
      } else {
        Text = EvalProperty(AProperty.Name, AProperty.Value.toString());
      }
    } else if (Type == wbemCimtypeReal32 || Type == wbemCimtypeReal64) {
      Text = QLocale().toString(AProperty.Value.toDouble());
    } else if (Type == wbemCimtypeBoolean) {
      Text = AProperty.Value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    } else {
      Text = AProperty.Value.toString();
    }
  } catch (...) {
    GetLogger()->LogString(QStringLiteral("Error"), AProperty.Name);
    GetLogger()->LogException(QString(), std::current_exception());
  }
  return Text;
}

QString TCustomWMI_Report::EvalProperty(const QString& AName, const QString& AValue) {
  const auto It = fWmiTranslatorsHash.find(fwmi_Class + QLatin1String(".ini"));
  if (It == fWmiTranslatorsHash.end())
    return AValue;
  const QString Translated = It->second->ReadString(AName, AValue, QString());
  return Translated.isEmpty() ? AValue : Translated;
}

void TCustomWMI_Report::Report(QStringList& AOutput) {
  if (!fReported)
    DoScan();
  AOutput << ClassReport;
}

void TCustomWMI_Report::SaveToFile(const QString& AFilename) {
  if (!fReported)
    DoScan();
  const QString Folder = QFileInfo(AFilename).path();
  if (Folder.isEmpty() || !QDir().mkpath(Folder))
    throw EFCreateError(QStringLiteral("Unable to create directory"));
  QByteArray Data("\xFF\xFE");
  QStringEncoder Encoder(QStringEncoder::Utf16LE);
  for (const QString& Line : ClassReport)
    Data += Encoder(Line + QLatin1String("\r\n"));
  if (const std::optional<QString> Failure = WriteFileAtomically(AFilename, Data))
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(AFilename, *Failure));
}

void TCustomWMI_Report::Init(const QString&) {}
