// The largest working file the program accepts, read back as the adapter
// groups read it: how long it takes and how much memory it needs. Run in
// two steps so that writing the file does not count towards reading it:
//   kelvane_working_file_bench write PATH BYTES   (records up to BYTES)
//   kelvane_working_file_bench read PATH          (prints a JSON line)

#include "inventory/NetworkAdapterData.h"
#include "serialization/Serializers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

namespace {
// A record of a busy adapter: every list filled, one IPv6 address.
void fill(TNetworkAdapterData& ARecord, int AIndex) {
  ARecord.SetName(QStringLiteral("enp%1s0 <&> adapter").arg(AIndex));
  ARecord.SetMACAddress(QStringLiteral("52:54:00:%1:%2:%3")
                            .arg((AIndex >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg((AIndex >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg(AIndex & 0xFF, 2, 16, QLatin1Char('0'))
                            .toUpper());
  ARecord.SetEnabled(true);
  ARecord.SetIPv4Addresses(
      QStringLiteral("10.%1.%2.2,10.%1.%2.3").arg((AIndex >> 8) & 0xFF).arg(AIndex & 0xFF));
  ARecord.SetIPv4Netmasks(QStringLiteral("255.255.255.0,255.255.255.0"));
  ARecord.SetIPv4Gateways(QStringLiteral("10.0.0.1"));
  ARecord.SetDNSServerIP(QStringLiteral("10.0.0.53"));
  ARecord.SetDNSHostname(QStringLiteral("host%1").arg(AIndex));
  ARecord.SetDNSDomain(QStringLiteral("example.test"));
  auto* Address = ARecord.IPv6AdressList()->AddNew();
  Address->SetIPAddress(QStringLiteral("fd00::%1").arg(AIndex, 0, 16));
  Address->SetPrefix(QStringLiteral("64"));
}

int write(const QString& APath, qint64 ABytes) {
  // One record's share of the file, measured on a small list first.
  TObjectList<TNetworkAdapterData> Sample;
  for (int I = 0; I < 100; ++I)
    fill(*Sample.AddNew(), I);
  {
    TXmlSerializer Writer;
    SerializeAdapterList(Writer, Sample);
    Writer.SaveToFile(APath);
  }
  const qint64 PerRecord = QFileInfo(APath).size() / 100 + 1;
  TObjectList<TNetworkAdapterData> List;
  for (qint64 I = 0; I < ABytes / PerRecord; ++I)
    fill(*List.AddNew(), int(I));
  TXmlSerializer Writer;
  SerializeAdapterList(Writer, List);
  Writer.SaveToFile(APath);
  std::printf("{\"records\": %lld, \"bytes\": %lld}\n", static_cast<long long>(List.Count()),
              static_cast<long long>(QFileInfo(APath).size()));
  return 0;
}

int read(const QString& APath) {
  QElapsedTimer Timer;
  Timer.start();
  TObjectList<TNetworkAdapterData> Adapters;
  LoadAdapterList(APath, Adapters);
  const qint64 Elapsed = Timer.elapsed();
  rusage Usage{};
  ::getrusage(RUSAGE_SELF, &Usage);
  std::printf("{\"records\": %lld, \"ms\": %lld, \"peak_kib\": %ld}\n",
              static_cast<long long>(Adapters.Count()), static_cast<long long>(Elapsed),
              Usage.ru_maxrss);
  return Adapters.IsEmpty() ? 1 : 0;
}
} // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  const QStringList Arguments = App.arguments();
  if (Arguments.size() == 4 && Arguments[1] == QLatin1String("write"))
    return write(Arguments[2], Arguments[3].toLongLong());
  if (Arguments.size() == 3 && Arguments[1] == QLatin1String("read"))
    return read(Arguments[2]);
  std::fputs("usage: kelvane_working_file_bench write PATH BYTES | read PATH\n", stderr);
  return 2;
}
