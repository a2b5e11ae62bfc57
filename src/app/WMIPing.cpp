#include "app/WMIPing.h"

#include "common/Format.h"
#include "platform/Platform.h"

namespace {
constexpr std::int32_t GeneralFailure = 11050;
}

TWMIPing::TWMIPing()
    : FWMIService(Platform::current().Wmi().ConnectServer(
          QStringLiteral("localhost"), QStringLiteral("root\\CIMV2"), QString(), QString())),
      FResponse(std::make_unique<TPingResponse>()) {}

TWMIPing::~TWMIPing() = default;

QString TWMIPing::StatusCodeText(std::int32_t ACode) {
  switch (ACode) {
  case 0:
    return QStringLiteral("Success");
  case 11001:
    return QStringLiteral("Buffer Too Small");
  case 11002:
    return QStringLiteral("Destination Net Unreachable");
  case 11003:
    return QStringLiteral("Destination Host Unreachable");
  case 11004:
    return QStringLiteral("Destination Protocol Unreachable");
  case 11005:
    return QStringLiteral("Destination Port Unreachable");
  case 11006:
    return QStringLiteral("No Resources");
  case 11007:
    return QStringLiteral("Bad Option");
  case 11008:
    return QStringLiteral("Hardware Error");
  case 11009:
    return QStringLiteral("Packet Too Big");
  case 11010:
    return QStringLiteral("Request Timed Out");
  case 11011:
    return QStringLiteral("Bad Request");
  case 11012:
    return QStringLiteral("Bad Route");
  case 11013:
    return QStringLiteral("TimeToLive Expired Transit");
  case 11014:
    return QStringLiteral("TimeToLive Expired Reassembly");
  case 11015:
    return QStringLiteral("Parameter Problem");
  case 11016:
    return QStringLiteral("Source Quench");
  case 11017:
    return QStringLiteral("Option Too Big");
  case 11018:
    return QStringLiteral("Bad Destination");
  case 11032:
    return QStringLiteral("Negotiating IPSEC");
  case GeneralFailure:
    return QStringLiteral("General Failure");
  default:
    return QStringLiteral("Error");
  }
}

void TWMIPing::Ping() {
  QString Quoted = FAddress;
  Quoted.replace(u'\'', QStringLiteral("''"));
  const QString Query =
      Format(QStringLiteral("SELECT * FROM Win32_PingStatus where Address=%s AND BufferSize=%d "
                            "AND Timeout=%d AND TimeToLive=%d"),
             {u'\'' + Quoted + u'\'', int(FBufferSize), FTimeout, FTimeToLive});
  const std::vector<TWmiObject> Results = FWMIService->ExecQuery(Query, QStringLiteral("WQL"), 0);
  if (Results.empty()) {
    // No answer at all must not read as the success a fresh response holds.
    FResponse->SetStatusCode(GeneralFailure);
    FResponse->SetStatusMessage(StatusCodeText(GeneralFailure));
    return;
  }
  const TWmiObject& Status = Results.front();
  const QVariant Code = Status.Value(QStringLiteral("StatusCode"));
  if (!Code.isValid() || Code.isNull()) {
    FResponse->SetStatusCode(-1);
    FResponse->SetStatusMessage(QStringLiteral("Host not found"));
    return;
  }
  FResponse->SetStatusCode(Code.toInt());
  FResponse->SetStatusMessage(StatusCodeText(FResponse->StatusCode()));
  if (FResponse->StatusCode() == 0) {
    FResponse->SetResponseTime(Status.Value(QStringLiteral("ResponseTime")).toInt());
    FResponse->SetProtocolAddress(Status.Value(QStringLiteral("ProtocolAddress")).toString());
    FResponse->SetTimeToLive(Status.Value(QStringLiteral("TimeToLive")).toInt());
  }
}
