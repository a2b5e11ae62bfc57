#pragma once
// Method logging for a scope: EnterMethod when it begins, LeaveMethod when it
// ends normally. A method that raises leaves no leave record, so a log shows
// where the failure started. Each record goes through a logger obtained anew.

#include "common/ScopeGuards.h"
#include "logging/MorvelDebug.h"

#include <optional>

class TMethodLog {
public:
  TMethodLog(TMorvelLevel ALevel, const TLogInstance& AInstance, const QString& AName)
      : FLeave(TLeave{ALevel, AInstance, AName}) {
    GetLogger()->EnterMethod(ALevel, AInstance, AName);
  }
  TMethodLog(TMorvelLevel ALevel, const QString& AName)
      : FLeave(TLeave{ALevel, std::nullopt, AName}) {
    GetLogger()->EnterMethod(ALevel, AName);
  }

private:
  struct TLeave {
    TMorvelLevel Level;
    std::optional<TLogInstance> Instance;
    QString Name;
    void operator()() const {
      if (Instance)
        GetLogger()->LeaveMethod(Level, *Instance, Name);
      else
        GetLogger()->LeaveMethod(Level, Name);
    }
  };
  TOnNormalExit<TLeave> FLeave;
};
