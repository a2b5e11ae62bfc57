// The working file's round trip: a list of records of 30 string values each,
// written to a file and read back into a new list. The adapter file holds a
// handful of records; this measures how the cost grows far beyond that.

#include "inventory/NetworkAdapterData.h"
#include "serialization/Serializers.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
constexpr int ValueCount = 30;

class TWideRecord : public ISerializable {
public:
  QString Values[ValueCount];
  void Serialize(TSerializer& ASerializer) override {
    ASerializer.BeginObjectWrite(QStringLiteral("TWideRecord"));
    for (int I = 0; I < ValueCount; ++I)
      ASerializer.AddString(Names()[I], Values[I]);
    ASerializer.EndObjectWrite(QStringLiteral("TWideRecord"));
  }
  void Deserialize(TSerializer& ASerializer) override {
    if (!ASerializer.BeginObjectRead(QStringLiteral("TWideRecord")))
      return;
    for (int I = 0; I < ValueCount; ++I)
      Values[I] = ASerializer.GetString(Names()[I], QString());
    ASerializer.EndObjectRead(QStringLiteral("TWideRecord"));
  }
  static const QStringList& Names() {
    static const QStringList List = [] {
      QStringList Result;
      for (int I = 0; I < ValueCount; ++I)
        Result << QStringLiteral("Property%1").arg(I);
      return Result;
    }();
    return List;
  }
};

TObjectList<TWideRecord> makeList(std::int64_t ACount) {
  TObjectList<TWideRecord> List;
  for (std::int64_t R = 0; R < ACount; ++R) {
    TWideRecord* Record = List.AddNew();
    for (int I = 0; I < ValueCount; ++I)
      Record->Values[I] = QStringLiteral("value %1 of record %2 <&>").arg(I).arg(R);
  }
  return List;
}

void write(const TObjectList<TWideRecord>& AList, const QString& APath) {
  TXmlSerializer Writer;
  SerializeObjectList(Writer, AList, QStringLiteral("TWideRecordList"));
  Writer.SaveToFile(APath);
}

qsizetype read(const QString& APath) {
  TObjectList<TWideRecord> Read;
  TXmlSerializer Reader;
  Reader.LoadFromFile(APath);
  DeserializeObjectList(Reader, Read, QStringLiteral("TWideRecordList"),
                        QStringLiteral("TWideRecord"));
  return Read.Count();
}

void BM_SerializerRoundTrip(benchmark::State& AState) {
  const TObjectList<TWideRecord> List = makeList(AState.range(0));
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  for (auto _ : AState) {
    write(List, Path);
    if (read(Path) != List.Count())
      AState.SkipWithError("records lost in the round trip");
  }
  AState.SetComplexityN(AState.range(0));
  AState.counters["records"] = double(AState.range(0));
}
BENCHMARK(BM_SerializerRoundTrip)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2) // the first rounds at 10,000 records mostly measure fresh pages
    ->Complexity(benchmark::oN);

// The two halves, to see where the time goes.
void BM_SerializerWrite(benchmark::State& AState) {
  const TObjectList<TWideRecord> List = makeList(AState.range(0));
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  for (auto _ : AState)
    write(List, Path);
}
BENCHMARK(BM_SerializerWrite)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_SerializerRead(benchmark::State& AState) {
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  write(makeList(AState.range(0)), Path);
  for (auto _ : AState)
    benchmark::DoNotOptimize(read(Path));
}
BENCHMARK(BM_SerializerRead)->Arg(1000)->Unit(benchmark::kMillisecond);
// Adapter records through the object mapper, each with an IPv6 address, a
// gateway and a DNS server, as the working file carries them.
void BM_AdapterRoundTrip(benchmark::State& AState) {
  TObjectList<TNetworkAdapterData> List;
  for (std::int64_t R = 0; R < AState.range(0); ++R) {
    TNetworkAdapterData* Record = List.AddNew();
    Record->SetName(QStringLiteral("Ethernet adapter %1").arg(R));
    Record->SetMACAddress(QStringLiteral("52:54:00:00:%1:%2").arg(R / 256).arg(R % 256));
    Record->SetIPv4Addresses(QStringLiteral("10.0.%1.%2").arg(R / 256).arg(R % 256));
    Record->SetIPv4Netmasks(QStringLiteral("255.255.0.0"));
    Record->SetMaxSpeed(1000000000);
    Record->SetEnabled(true);
    Record->IPv6AdressList()->AddNew()->SetIPAddress(QStringLiteral("2001:db8::%1").arg(R));
    Record->IPv6DefaultGatewayList()->AddNew()->SetIPAddress(QStringLiteral("fe80::1"));
    Record->IPv6DNSServerList()->AddNew()->SetIPAddress(QStringLiteral("2001:db8::53"));
  }
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  for (auto _ : AState) {
    {
      TXmlSerializer Writer;
      SerializeAdapterList(Writer, List);
      Writer.SaveToFile(Path);
    }
    TObjectList<TNetworkAdapterData> Read;
    TXmlSerializer Reader;
    Reader.LoadFromFile(Path);
    DeserializeAdapterList(Reader, Read);
    if (Read.Count() != List.Count() || Read.Last()->IPv6DNSServerList()->Count() != 1)
      AState.SkipWithError("records lost in the round trip");
  }
  AState.SetComplexityN(AState.range(0));
  AState.counters["records"] = double(AState.range(0));
}
BENCHMARK(BM_AdapterRoundTrip)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->Complexity(benchmark::oN);
} // namespace

BENCHMARK_MAIN();
