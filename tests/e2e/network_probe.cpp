// Refreshes the network component once and prints what it found, one fact
// per line, for the end-to-end tests that run it inside a namespace:
//   adapter <name>|<address>|<type>|<dhcp>|<addresses>|<masks>|<gateways>|<speed>
//   dns <servers, comma-separated>
//   suffixes <suffixes>
//   host <host name>
//   physical <names> / virtual <names>
//   refresh <microseconds>
//   addresses <name>|<unicast/prefix>|<gateways>|<name servers>|<IPv6 enabled>

#include "platform/IpHelper.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxSockets.h"
#include "sysinfo/SysInfoNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  QElapsedTimer Timer;
  Timer.start();
  TSysInfoNetwork Network;
  Network.RefreshData(0x3FFFFF);
  const qint64 Elapsed = Timer.nsecsElapsed() / 1000;
  const auto print = [](const QString& ALine) { std::printf("%s\n", qPrintable(ALine)); };
  TSysInfoTCPIP* TCPIP = Network.TCPIP();
  for (std::uint16_t I = 0; I < TCPIP->AdapterCount(); ++I) {
    const TAdapter Adapter = TCPIP->Adapters(I);
    print(QStringLiteral("adapter %1|%2|%3|%4|%5|%6|%7|%8")
              .arg(Adapter.Name, Adapter.Address)
              .arg(int(Adapter.Typ))
              .arg(Adapter.EnableDHCP ? 1 : 0)
              .arg(Adapter.IPAddress->join(u','), Adapter.IPAddressMask->join(u','),
                   Adapter.Gateway_IPAddress->join(u','))
              .arg(Adapter.MaxSpeed));
  }
  print(QStringLiteral("dns ") + TCPIP->DNSServers().join(u','));
  print(QStringLiteral("suffixes ") + TCPIP->DNSSuffixes().join(u','));
  print(QStringLiteral("host ") + TCPIP->HostName());
  print(QStringLiteral("physical ") + Network.PhysicalAdapters().join(u','));
  print(QStringLiteral("virtual ") + Network.VirtualAdapters().join(u','));
  print(QStringLiteral("refresh %1").arg(Elapsed));

  std::vector<TIpAdapterAddresses> Views;
  ULONG Size = 1 << 20;
  Platform::current().IpHelper().GetAdaptersAddresses(0, 0, Views, Size);
  const auto text = [](const TSocketAddress& AAddress) {
    int Error = 0;
    return FormatSocketAddress(AAddress, Error).value_or(QString());
  };
  for (const TIpAdapterAddresses& View : Views) {
    QStringList Unicast, Gateways, Servers;
    for (const TUnicastAddress& Address : View.UnicastAddresses)
      Unicast << text(Address.Address) + u'/' + QString::number(Address.PrefixLength);
    for (const TSocketAddress& Address : View.GatewayAddresses)
      Gateways << text(Address);
    for (const TSocketAddress& Address : View.DnsServerAddresses)
      Servers << text(Address);
    print(QStringLiteral("addresses %1|%2|%3|%4|%5")
              .arg(View.Description, Unicast.join(u','), Gateways.join(u','), Servers.join(u','))
              .arg(View.Ipv6Enabled ? 1 : 0));
  }
  return 0;
}
