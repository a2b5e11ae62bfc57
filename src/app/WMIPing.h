#pragma once
// A ping through the management service's Win32_PingStatus class. The caller
// decides reachability from StatusCode alone: 0 answered, -1 host not found,
// otherwise the status codes of the class.

#include "platform/Wmi.h"

#include <QString>

#include <cstdint>
#include <memory>

class TPingResponse {
public:
  std::int32_t StatusCode() const { return FStatusCode; }
  void SetStatusCode(std::int32_t AValue) { FStatusCode = AValue; }
  const QString& StatusMessage() const { return FStatusMessage; }
  void SetStatusMessage(const QString& AValue) { FStatusMessage = AValue; }
  std::int32_t ResponseTime() const { return FResponseTime; }
  void SetResponseTime(std::int32_t AValue) { FResponseTime = AValue; }
  const QString& ProtocolAddress() const { return FProtocolAddress; }
  void SetProtocolAddress(const QString& AValue) { FProtocolAddress = AValue; }
  std::int32_t TimeToLive() const { return FTimeToLive; }
  void SetTimeToLive(std::int32_t AValue) { FTimeToLive = AValue; }

private:
  std::int32_t FStatusCode = 0;
  std::int32_t FResponseTime = 0;
  QString FStatusMessage;
  QString FProtocolAddress;
  std::int32_t FTimeToLive = 0;
};

class TWMIPing {
public:
  // Connects to the local service; its failure raises EOleException.
  TWMIPing();
  ~TWMIPing();
  TWMIPing(const TWMIPing&) = delete;
  TWMIPing& operator=(const TWMIPing&) = delete;

  std::uint16_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(std::uint16_t AValue) { FBufferSize = AValue; }
  const QString& Address() const { return FAddress; }
  void SetAddress(const QString& AValue) { FAddress = AValue; }
  std::int32_t Timeout() const { return FTimeout; }
  void SetTimeout(std::int32_t AValue) { FTimeout = AValue; }
  std::int32_t TimeToLive() const { return FTimeToLive; }
  void SetTimeToLive(std::int32_t AValue) { FTimeToLive = AValue; }
  TPingResponse& Response() { return *FResponse; }

  // Fills Response. Fields a ping does not set keep their values; a result
  // set without any element reports 11050 "General Failure".
  void Ping();

  static QString StatusCodeText(std::int32_t ACode);

private:
  std::unique_ptr<IWmiServices> FWMIService;
  std::unique_ptr<TPingResponse> FResponse;
  std::uint16_t FBufferSize = 32;
  QString FAddress;
  std::int32_t FTimeout = 1000;
  std::int32_t FTimeToLive = 80;
};
