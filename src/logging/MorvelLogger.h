#pragma once
// TMorvelLogger: an engine session that serves both logger interfaces. Every
// interface operation forwards to the session operation of the same name;
// the trace-style ones map onto them as listed in InteroperabilityTraceLogger.h.

#include "logging/InteroperabilityTraceLogger.h"
#include "logging/LogSession.h"

class TMorvelLogger final : public TLogSession, public ITraceLogger {
public:
  TMorvelLogger(TLogEngine* AParent, const QString& AName) : TLogSession(AParent, AName) {}

#define KELVANE_FORWARD(Ret, Name, Params, Args)                                                   \
  Ret Name Params override {                                                                       \
    return TLogSession::Name Args;                                                                 \
  }                                                                                                \
  Ret Name KELVANE_LOG_MORVEL_LEVEL_PARAMS Params override {                                       \
    return TLogSession::Name KELVANE_LOG_CONVERTED_LEVEL_ARGS Args;                                \
  }
  KELVANE_LOG_LEVELED_OPS(KELVANE_FORWARD)
#undef KELVANE_FORWARD

#define KELVANE_FORWARD(Ret, Name, Params, Args)                                                   \
  Ret Name Params override {                                                                       \
    return TLogSession::Name Args;                                                                 \
  }
  KELVANE_LOG_PLAIN_OPS(KELVANE_FORWARD)
#undef KELVANE_FORWARD

#define KELVANE_FORWARD(Ret, Name, Params, Call)                                                   \
  Ret Name Params override {                                                                       \
    return Call;                                                                                   \
  }
  KELVANE_TRACE_OPS(KELVANE_FORWARD)
#undef KELVANE_FORWARD

  TMorvelLevel Level() override {
    return ToMorvelLevel(TLogSession::Level());
  }
  void SetLevel(TMorvelLevel ALevel) override {
    TLogSession::SetLevel(ToLogLevel(ALevel));
  }

  using IMorvelLogger::LogEnum;
};
