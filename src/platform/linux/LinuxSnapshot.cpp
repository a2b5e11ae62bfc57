#include "platform/linux/LinuxSnapshot.h"

#include "platform/Sockets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUuid>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Far beyond any machine, small enough that a hostile file cannot make the
// program hold more than the file's own size many times over.
constexpr qsizetype MaxItems = 65536;
constexpr qsizetype MaxText = 4096;
constexpr int MaxHardwareAddressBytes = 32;

// ---- writing ----------------------------------------------------------------

QString addressText(int AFamily, const QByteArray& ABytes) {
  char Text[INET6_ADDRSTRLEN] = {};
  if ((AFamily == AF_INET && ABytes.size() == 4) || (AFamily == AF_INET6 && ABytes.size() == 16))
    if (::inet_ntop(AFamily, ABytes.constData(), Text, sizeof Text))
      return QString::fromLatin1(Text);
  return {};
}

QJsonValue nullable(const QString& AText) {
  return AText.isEmpty() ? QJsonValue() : QJsonValue(AText);
}

QJsonArray strings(const QStringList& AList) {
  return QJsonArray::fromStringList(AList);
}

const char* busName(TSysBus ABus) {
  switch (ABus) {
  case TSysBus::Pci:
    return "pci";
  case TSysBus::Usb:
    return "usb";
  case TSysBus::Other:
    return "other";
  case TSysBus::None:
    break;
  }
  return "none";
}

QJsonObject linkJson(const TFactLink& ALink) {
  QJsonArray Addresses;
  for (const TFactAddress& Address : ALink.Addresses)
    Addresses.append(QJsonObject{{"address", addressText(Address.Family, Address.Bytes)},
                                 {"prefixLength", Address.PrefixLength},
                                 {"dynamic", Address.Dynamic}});
  QJsonArray Gateways;
  for (const TFactGateway& Gateway : ALink.Gateways)
    Gateways.append(QJsonObject{{"family", Gateway.Family == AF_INET6 ? "ipv6" : "ipv4"},
                                {"address", nullable(addressText(Gateway.Family, Gateway.Bytes))},
                                {"metric", qint64(Gateway.Metric)}});
  return QJsonObject{{"index", ALink.IfIndex},
                     {"name", ALink.Name},
                     {"arpType", qint64(ALink.ArpType)},
                     {"flags", qint64(ALink.Flags)},
                     {"mtu", qint64(ALink.Mtu)},
                     {"hardwareAddress", QString::fromLatin1(ALink.HardwareAddress.toHex(':'))},
                     {"operState", ALink.OperState},
                     {"kind", ALink.InfoKind},
                     {"addresses", Addresses},
                     {"gateways", Gateways},
                     {"ipv6Enabled", ALink.Ipv6Enabled},
                     {"speed", qint64(ALink.SpeedBits)},
                     {"wireless", ALink.Wireless}};
}

QJsonObject interfaceJson(const TSysNetInterface& AInterface) {
  return QJsonObject{
      {"index", AInterface.IfIndex},       {"name", AInterface.Name},
      {"hasDevice", AInterface.HasDevice}, {"devicePath", AInterface.DevicePath},
      {"bus", busName(AInterface.Bus)},    {"driver", AInterface.Driver},
      {"kind", AInterface.Kind},           {"permanentAddress", AInterface.PermanentAddress},
      {"settingId", AInterface.SettingId}};
}

QJsonObject deviceJson(const TFactDevice& ADevice) {
  return QJsonObject{{"sysPath", ADevice.SysPath},
                     {"enumerator", ADevice.Enumerator},
                     {"deviceId", ADevice.DeviceId},
                     {"instance", ADevice.Instance},
                     {"hardwareIds", strings(ADevice.HardwareIds)},
                     {"compatibleIds", strings(ADevice.CompatibleIds)},
                     {"location", ADevice.Location},
                     {"service", ADevice.Service},
                     {"manufacturer", ADevice.Mfg},
                     {"description", ADevice.Description},
                     {"class", ADevice.Class}};
}

QJsonObject systemJson(const TFactSystem& ASystem) {
  QJsonValue Resolver;
  if (ASystem.Resolver)
    Resolver = QJsonObject{{"nameServers", strings(ASystem.Resolver->NameServers)},
                           {"search", strings(ASystem.Resolver->Search)}};
  return QJsonObject{{"hostName", ASystem.Host.Name},
                     {"prettyName", ASystem.PrettyName},
                     {"kernelRelease", ASystem.KernelRelease},
                     {"ipForward", ASystem.IpForward},
                     {"ipv6Stack", ASystem.Ipv6Stack},
                     {"resolver", Resolver},
                     {"resolvedUpstream", ASystem.ResolvedUpstream},
                     {"userId", qint64(ASystem.UserId)},
                     {"userName", ASystem.UserName},
                     {"defaultTtl", ASystem.DefaultTtl}};
}

// Hash order is no order: entries sorted, so that one machine saves to one text.
QJsonObject dhcpJson(const TFactDhcp& ADhcp) {
  QJsonArray Networkd, Dhclient, Iaids;
  QList<int> Indices = ADhcp.NetworkdServers.keys();
  std::sort(Indices.begin(), Indices.end());
  for (int Index : Indices)
    Networkd.append(QJsonObject{{"index", Index}, {"server", ADhcp.NetworkdServers.value(Index)}});
  QList<QByteArray> Names = ADhcp.DhclientServers.keys();
  std::sort(Names.begin(), Names.end());
  for (const QByteArray& Name : Names)
    Dhclient.append(QJsonObject{{"interface", QString::fromUtf8(Name)},
                                {"server", ADhcp.DhclientServers.value(Name)}});
  Names = ADhcp.Dhcpv6.Iaids.keys();
  std::sort(Names.begin(), Names.end());
  for (const QByteArray& Name : Names)
    Iaids.append(QJsonObject{{"interface", QString::fromUtf8(Name)},
                             {"iaid", qint64(ADhcp.Dhcpv6.Iaids.value(Name))}});
  return QJsonObject{
      {"networkd", Networkd},
      {"dhclient", Dhclient},
      {"dhcpv6",
       QJsonObject{{"duid", QString::fromLatin1(ADhcp.Dhcpv6.Duid.toHex())}, {"iaids", Iaids}}}};
}

// ---- reading ----------------------------------------------------------------

struct TBadSnapshot {
  QString Message;
};

[[noreturn]] void refuse(const QString& APlace, const QString& AWhat) {
  throw TBadSnapshot{APlace.isEmpty() ? AWhat : APlace + QStringLiteral(": ") + AWhat};
}

QString at(const QString& APlace, const char* AKey) {
  return APlace.isEmpty() ? QLatin1String(AKey) : APlace + u'.' + QLatin1String(AKey);
}

QString at(const QString& APlace, qsizetype AIndex) {
  return APlace + QStringLiteral("[%1]").arg(AIndex);
}

// Fields are looked up by name; a missing one is as bad as a wrong type,
// except where the format calls a field optional (AOptional).
QJsonValue field(const QJsonObject& AObject, const QString& APlace, const char* AKey,
                 bool AOptional = false) {
  const QJsonValue Value = AObject.value(QLatin1String(AKey));
  if (Value.isUndefined() && !AOptional)
    refuse(at(APlace, AKey), QStringLiteral("missing"));
  return Value;
}

QJsonObject object(const QJsonValue& AValue, const QString& APlace) {
  if (!AValue.isObject())
    refuse(APlace, QStringLiteral("not an object"));
  return AValue.toObject();
}

QJsonArray array(const QJsonValue& AValue, const QString& APlace) {
  if (!AValue.isArray())
    refuse(APlace, QStringLiteral("not a list"));
  const QJsonArray Array = AValue.toArray();
  if (Array.size() > MaxItems)
    refuse(APlace, QStringLiteral("more than %1 items").arg(MaxItems));
  return Array;
}

// Calls AVisit(object, place) for each item of the list AKey of AObject,
// each of which must be an object.
template <class TVisit>
void forEachObject(const QJsonObject& AObject, const QString& APlace, const char* AKey,
                   TVisit AVisit) {
  const QString Place = at(APlace, AKey);
  const QJsonArray Array = array(field(AObject, APlace, AKey), Place);
  for (qsizetype I = 0; I < Array.size(); ++I) {
    const QString ItemPlace = at(Place, I);
    AVisit(object(Array[I], ItemPlace), ItemPlace);
  }
}

QString text(const QJsonObject& AObject, const QString& APlace, const char* AKey,
             qsizetype AMax = MaxText) {
  const QJsonValue Value = field(AObject, APlace, AKey);
  if (!Value.isString())
    refuse(at(APlace, AKey), QStringLiteral("not a text"));
  const QString Text = Value.toString();
  if (Text.size() > AMax)
    refuse(at(APlace, AKey), QStringLiteral("longer than %1 characters").arg(AMax));
  return Text;
}

QStringList texts(const QJsonObject& AObject, const QString& APlace, const char* AKey) {
  QStringList Result;
  const QString Place = at(APlace, AKey);
  const QJsonArray Array = array(field(AObject, APlace, AKey), Place);
  for (qsizetype I = 0; I < Array.size(); ++I) {
    if (!Array[I].isString() || Array[I].toString().size() > MaxText)
      refuse(at(Place, I), QStringLiteral("not a text of at most %1 characters").arg(MaxText));
    Result << Array[I].toString();
  }
  return Result;
}

bool boolean(const QJsonObject& AObject, const QString& APlace, const char* AKey) {
  const QJsonValue Value = field(AObject, APlace, AKey);
  if (!Value.isBool())
    refuse(at(APlace, AKey), QStringLiteral("not true or false"));
  return Value.toBool();
}

qint64 integer(const QJsonObject& AObject, const QString& APlace, const char* AKey, qint64 AMin,
               qint64 AMax) {
  const QJsonValue Value = field(AObject, APlace, AKey);
  const double Number = Value.toDouble();
  // The range first: a number past 64 bits has no whole value to compare.
  if (!Value.isDouble() || !(Number >= double(AMin) && Number <= double(AMax)) ||
      Number != std::floor(Number))
    refuse(at(APlace, AKey),
           QStringLiteral("not a whole number from %1 to %2").arg(AMin).arg(AMax));
  return qint64(Number);
}

// Bytes of an address text of AFamily (0: either, told by the text).
QByteArray addressBytes(const QString& AText, int& AFamily, const QString& APlace) {
  const QByteArray Latin = AText.toLatin1();
  unsigned char Bytes[16];
  if ((AFamily == 0 || AFamily == AF_INET) && ::inet_pton(AF_INET, Latin.constData(), Bytes) == 1) {
    AFamily = AF_INET;
    return QByteArray(reinterpret_cast<const char*>(Bytes), 4);
  }
  if ((AFamily == 0 || AFamily == AF_INET6) &&
      ::inet_pton(AF_INET6, Latin.constData(), Bytes) == 1) {
    AFamily = AF_INET6;
    return QByteArray(reinterpret_cast<const char*>(Bytes), 16);
  }
  refuse(APlace, QStringLiteral("not an address"));
}

QString checkedAddress(const QString& AText, const QString& APlace) {
  int Family = 0;
  addressBytes(AText, Family, APlace);
  return AText;
}

QByteArray hardwareAddress(const QString& AText, const QString& APlace) {
  if (AText.isEmpty())
    return {};
  const QStringList Parts = AText.split(u':');
  QByteArray Bytes;
  for (const QString& Part : Parts) {
    bool Ok = false;
    const uint Byte = Part.toUInt(&Ok, 16);
    if (!Ok || Part.size() != 2 || Byte > 0xFF)
      refuse(APlace, QStringLiteral("not a hardware address"));
    Bytes += char(Byte);
  }
  if (Bytes.size() > MaxHardwareAddressBytes)
    refuse(APlace, QStringLiteral("not a hardware address"));
  return Bytes;
}

// A link's name is a file name in the system's tables: at most 15 bytes on
// Linux, but names of other snapshots' origin may be longer; never empty,
// never a path.
QString linkName(const QJsonObject& AObject, const QString& APlace) {
  const QString Name = text(AObject, APlace, "name", 255);
  if (Name.isEmpty() || Name.contains(u'/') || Name.contains(QChar(0)))
    refuse(at(APlace, "name"), QStringLiteral("not an interface name"));
  return Name;
}

TFactLink readLink(const QJsonObject& AObject, const QString& APlace) {
  TFactLink Link;
  Link.IfIndex = int(integer(AObject, APlace, "index", 1, std::numeric_limits<int>::max()));
  Link.Name = linkName(AObject, APlace);
  Link.ArpType = unsigned(integer(AObject, APlace, "arpType", 0, 0xFFFF));
  Link.Flags = unsigned(integer(AObject, APlace, "flags", 0, 0xFFFFFFFFLL));
  Link.Mtu = unsigned(integer(AObject, APlace, "mtu", 0, 0xFFFFFFFFLL));
  Link.HardwareAddress =
      hardwareAddress(text(AObject, APlace, "hardwareAddress"), at(APlace, "hardwareAddress"));
  Link.OperState = text(AObject, APlace, "operState", 32);
  Link.InfoKind = text(AObject, APlace, "kind", 64);
  forEachObject(AObject, APlace, "addresses", [&](const QJsonObject& Entry, const QString& Place) {
    TFactAddress Address;
    Address.Bytes =
        addressBytes(text(Entry, Place, "address", 64), Address.Family, at(Place, "address"));
    Address.PrefixLength =
        int(integer(Entry, Place, "prefixLength", 0, Address.Family == AF_INET ? 32 : 128));
    Address.Dynamic = boolean(Entry, Place, "dynamic");
    Link.Addresses.push_back(std::move(Address));
  });
  forEachObject(AObject, APlace, "gateways", [&](const QJsonObject& Entry, const QString& Place) {
    TFactGateway Gateway;
    const QString Family = text(Entry, Place, "family", 8);
    if (Family != u"ipv4" && Family != u"ipv6")
      refuse(at(Place, "family"), QStringLiteral("neither ipv4 nor ipv6"));
    Gateway.Family = Family == u"ipv4" ? AF_INET : AF_INET6;
    const QJsonValue Address = field(Entry, Place, "address");
    if (!Address.isNull()) {
      if (!Address.isString())
        refuse(at(Place, "address"), QStringLiteral("not a text or null"));
      Gateway.Bytes = addressBytes(Address.toString(), Gateway.Family, at(Place, "address"));
    }
    Gateway.Metric = unsigned(integer(Entry, Place, "metric", 0, 0xFFFFFFFFLL));
    Link.Gateways.push_back(std::move(Gateway));
  });
  Link.Ipv6Enabled = boolean(AObject, APlace, "ipv6Enabled");
  Link.SpeedBits = DWORD(integer(AObject, APlace, "speed", 0, 0xFFFFFFFFLL));
  Link.Wireless = boolean(AObject, APlace, "wireless");
  return Link;
}

TSysNetInterface readInterface(const QJsonObject& AObject, const QString& APlace) {
  TSysNetInterface Interface;
  Interface.IfIndex = int(integer(AObject, APlace, "index", 1, std::numeric_limits<int>::max()));
  Interface.Name = linkName(AObject, APlace);
  Interface.HasDevice = boolean(AObject, APlace, "hasDevice");
  Interface.DevicePath = text(AObject, APlace, "devicePath");
  const QString Bus = text(AObject, APlace, "bus", 8);
  if (Bus == u"pci")
    Interface.Bus = TSysBus::Pci;
  else if (Bus == u"usb")
    Interface.Bus = TSysBus::Usb;
  else if (Bus == u"other")
    Interface.Bus = TSysBus::Other;
  else if (Bus != u"none")
    refuse(at(APlace, "bus"), QStringLiteral("not one of none, pci, usb, other"));
  Interface.Driver = text(AObject, APlace, "driver", 255);
  Interface.Kind = text(AObject, APlace, "kind", 64);
  Interface.PermanentAddress = text(AObject, APlace, "permanentAddress", 96);
  Interface.SettingId = text(AObject, APlace, "settingId", 38);
  // It names registry keys: a braced GUID and nothing else.
  if (QUuid::fromString(Interface.SettingId).isNull() || !Interface.SettingId.startsWith(u'{'))
    refuse(at(APlace, "settingId"), QStringLiteral("not a braced GUID"));
  return Interface;
}

TFactDevice readDevice(const QJsonObject& AObject, const QString& APlace) {
  TFactDevice Device;
  Device.SysPath = text(AObject, APlace, "sysPath");
  Device.Enumerator = text(AObject, APlace, "enumerator", 255);
  Device.DeviceId = text(AObject, APlace, "deviceId", 255);
  Device.Instance = text(AObject, APlace, "instance", 255);
  Device.HardwareIds = texts(AObject, APlace, "hardwareIds");
  Device.CompatibleIds = texts(AObject, APlace, "compatibleIds");
  Device.Location = text(AObject, APlace, "location");
  Device.Service = text(AObject, APlace, "service", 255);
  Device.Mfg = text(AObject, APlace, "manufacturer");
  Device.Description = text(AObject, APlace, "description");
  Device.Class = text(AObject, APlace, "class", 64);
  return Device;
}

TFactSystem readSystem(const QJsonObject& AObject, const QString& APlace) {
  TFactSystem System;
  System.Host = ParseHostName(text(AObject, APlace, "hostName", 255).toUtf8());
  System.PrettyName = text(AObject, APlace, "prettyName");
  System.KernelRelease = text(AObject, APlace, "kernelRelease", 255);
  System.IpForward = boolean(AObject, APlace, "ipForward");
  System.Ipv6Stack = boolean(AObject, APlace, "ipv6Stack");
  const QJsonValue Resolver = field(AObject, APlace, "resolver");
  if (!Resolver.isNull()) {
    const QString Place = at(APlace, "resolver");
    const QJsonObject Config = object(Resolver, Place);
    TResolverConfig Parsed;
    Parsed.NameServers = texts(Config, Place, "nameServers");
    for (qsizetype I = 0; I < Parsed.NameServers.size(); ++I)
      checkedAddress(Parsed.NameServers[I], at(at(Place, "nameServers"), I));
    Parsed.Search = texts(Config, Place, "search");
    Parsed.Domain = Parsed.Search.value(0);
    System.Resolver = Parsed;
  }
  System.ResolvedUpstream = boolean(AObject, APlace, "resolvedUpstream");
  System.UserId = std::uint32_t(integer(AObject, APlace, "userId", 0, 0xFFFFFFFFLL));
  System.UserName = text(AObject, APlace, "userName", 255);
  System.DefaultTtl = int(integer(AObject, APlace, "defaultTtl", 1, 255));
  return System;
}

TFactDhcp readDhcp(const QJsonObject& AObject, const QString& APlace) {
  TFactDhcp Dhcp;
  forEachObject(AObject, APlace, "networkd", [&](const QJsonObject& Entry, const QString& Place) {
    Dhcp.NetworkdServers.insert(
        int(integer(Entry, Place, "index", 1, std::numeric_limits<int>::max())),
        checkedAddress(text(Entry, Place, "server", 64), at(Place, "server")));
  });
  forEachObject(AObject, APlace, "dhclient", [&](const QJsonObject& Entry, const QString& Place) {
    Dhcp.DhclientServers.insert(
        text(Entry, Place, "interface", 255).toUtf8(),
        checkedAddress(text(Entry, Place, "server", 64), at(Place, "server")));
  });
  const QString Place = at(APlace, "dhcpv6");
  const QJsonObject Dhcpv6 = object(field(AObject, APlace, "dhcpv6"), Place);
  const QString Duid = text(Dhcpv6, Place, "duid", 260);
  Dhcp.Dhcpv6.Duid = QByteArray::fromHex(Duid.toLatin1());
  if (Dhcp.Dhcpv6.Duid.toHex() != Duid.toLatin1().toLower())
    refuse(at(Place, "duid"), QStringLiteral("not hexadecimal"));
  forEachObject(Dhcpv6, Place, "iaids", [&](const QJsonObject& Entry, const QString& ItemPlace) {
    Dhcp.Dhcpv6.Iaids.insert(text(Entry, ItemPlace, "interface", 255).toUtf8(),
                             DWORD(integer(Entry, ItemPlace, "iaid", 0, 0xFFFFFFFFLL)));
  });
  return Dhcp;
}

TLinuxFactsData readSnapshot(const QJsonObject& ARoot) {
  const QJsonValue Format = ARoot.value(QLatin1String("format"));
  if (Format.toString() != QLatin1String("kelvane-snapshot"))
    refuse(QString(), QStringLiteral("not a Kelvane snapshot"));
  const qint64 Version = integer(ARoot, QString(), "version", 0, std::numeric_limits<int>::max());
  if (Version != SnapshotVersion)
    refuse(QString(), QStringLiteral("snapshot version %1; this program reads version %2")
                          .arg(Version)
                          .arg(SnapshotVersion));
  TLinuxFactsData Data;
  Data.System = readSystem(object(field(ARoot, QString(), "system"), QStringLiteral("system")),
                           QStringLiteral("system"));
  QSet<int> Indices;
  forEachObject(ARoot, QString(), "links", [&](const QJsonObject& Entry, const QString& Place) {
    TFactLink Link = readLink(Entry, Place);
    if (Indices.contains(Link.IfIndex))
      refuse(at(Place, "index"), QStringLiteral("taken by another link"));
    // Every view lists links in index order and relies on it.
    if (!Data.Links.empty() && Data.Links.back().IfIndex > Link.IfIndex)
      refuse(at(Place, "index"), QStringLiteral("out of order"));
    Indices.insert(Link.IfIndex);
    Data.Links.push_back(std::move(Link));
  });
  const QJsonValue Source = field(ARoot, QString(), "preferredSource");
  if (!Source.isNull()) {
    int Family = AF_INET;
    const QByteArray Bytes =
        addressBytes(Source.toString(), Family, QStringLiteral("preferredSource"));
    Data.PreferredSource = quint32(uchar(Bytes[0])) << 24 | quint32(uchar(Bytes[1])) << 16 |
                           quint32(uchar(Bytes[2])) << 8 | uchar(Bytes[3]);
  }
  forEachObject(ARoot, QString(), "interfaces",
                [&](const QJsonObject& Entry, const QString& Place) {
                  TSysNetInterface Interface = readInterface(Entry, Place);
                  if (!Indices.contains(Interface.IfIndex))
                    refuse(at(Place, "index"), QStringLiteral("no link has it"));
                  Data.Interfaces << Interface;
                });
  Data.Dhcp = readDhcp(object(field(ARoot, QString(), "dhcp"), QStringLiteral("dhcp")),
                       QStringLiteral("dhcp"));
  const QString DevicesPlace = QStringLiteral("devices");
  const QJsonObject Devices = object(field(ARoot, QString(), "devices"), DevicesPlace);
  forEachObject(Devices, DevicesPlace, "bus", [&](const QJsonObject& Entry, const QString& Place) {
    Data.Devices.Bus.push_back(readDevice(Entry, Place));
  });
  Data.Devices.DmiVendor = text(Devices, DevicesPlace, "dmiVendor", 255);
  Data.Devices.DmiProduct = text(Devices, DevicesPlace, "dmiProduct", 255);
  return Data;
}

} // namespace

QByteArray SnapshotToJson(const TLinuxFactsData& AData) {
  QJsonArray Links, Interfaces, Bus;
  for (const TFactLink& Link : AData.Links)
    Links.append(linkJson(Link));
  for (const TSysNetInterface& Interface : AData.Interfaces)
    Interfaces.append(interfaceJson(Interface));
  for (const TFactDevice& Device : AData.Devices.Bus)
    Bus.append(deviceJson(Device));
  const QJsonObject Root{{"format", "kelvane-snapshot"},
                         {"version", SnapshotVersion},
                         {"system", systemJson(AData.System)},
                         {"links", Links},
                         {"preferredSource", AData.PreferredSource == 0
                                                 ? QJsonValue()
                                                 : QJsonValue(Ipv4ToString(AData.PreferredSource))},
                         {"interfaces", Interfaces},
                         {"dhcp", dhcpJson(AData.Dhcp)},
                         {"devices", QJsonObject{{"bus", Bus},
                                                 {"dmiVendor", AData.Devices.DmiVendor},
                                                 {"dmiProduct", AData.Devices.DmiProduct}}}};
  return QJsonDocument(Root).toJson(QJsonDocument::Indented);
}

std::shared_ptr<TLinuxFacts> SnapshotFromJson(const QByteArray& AText, QString& AError) {
  if (AText.size() > MaxSnapshotBytes) {
    AError = QStringLiteral("larger than %1 MiB").arg(MaxSnapshotBytes >> 20);
    return nullptr;
  }
  QJsonParseError Parse{};
  const QJsonDocument Document = QJsonDocument::fromJson(AText, &Parse);
  if (Parse.error != QJsonParseError::NoError) {
    AError = QStringLiteral("not JSON (%1 at byte %2)").arg(Parse.errorString()).arg(Parse.offset);
    return nullptr;
  }
  if (!Document.isObject()) {
    AError = QStringLiteral("not a Kelvane snapshot");
    return nullptr;
  }
  try {
    return std::make_shared<TLinuxFacts>(readSnapshot(Document.object()));
  } catch (const TBadSnapshot& E) {
    AError = E.Message;
    return nullptr;
  }
}
