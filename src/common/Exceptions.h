#pragma once
// The error classes of the program. Class names and message texts are part of
// what the program shows (logs, the XML layer's failures), so they carry the
// names the rest of the system expects.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

class Exception : public std::exception {
public:
  explicit Exception(QString AMessage);
  ~Exception() override = default;

  const QString& Message() const noexcept { return FMessage; }
  // The class name as the system knows it ("EConvertError", ...).
  virtual QString ClassName() const { return QStringLiteral("Exception"); }
  const char* what() const noexcept override { return FUtf8.constData(); }

private:
  QString FMessage;
  QByteArray FUtf8;
};

#define KELVANE_DECLARE_EXCEPTION(Name, Base)                                                      \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
    QString ClassName() const override { return QStringLiteral(#Name); }                           \
  };

KELVANE_DECLARE_EXCEPTION(EConvertError, Exception)
KELVANE_DECLARE_EXCEPTION(EAssertionFailed, Exception)
KELVANE_DECLARE_EXCEPTION(ENotSupportedException, Exception)
KELVANE_DECLARE_EXCEPTION(EArgumentException, Exception)
KELVANE_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
KELVANE_DECLARE_EXCEPTION(EInvalidOperation, Exception)
KELVANE_DECLARE_EXCEPTION(EInvalidCast, Exception)
KELVANE_DECLARE_EXCEPTION(EPropertyError, Exception)
KELVANE_DECLARE_EXCEPTION(EListError, Exception)
KELVANE_DECLARE_EXCEPTION(ERegistryException, Exception)
KELVANE_DECLARE_EXCEPTION(EStreamError, Exception)
KELVANE_DECLARE_EXCEPTION(EFOpenError, EStreamError)
KELVANE_DECLARE_EXCEPTION(EFCreateError, EStreamError)

// An operating-system call failed; carries the Windows error code.
class EOSError : public Exception {
public:
  EOSError(QString AMessage, std::uint32_t AErrorCode)
      : Exception(std::move(AMessage)), FErrorCode(AErrorCode) {}
  QString ClassName() const override { return QStringLiteral("EOSError"); }
  std::uint32_t ErrorCode() const noexcept { return FErrorCode; }

private:
  std::uint32_t FErrorCode;
};

// An automation (COM/WMI) call failed; carries the HRESULT.
class EOleException : public Exception {
public:
  EOleException(QString AMessage, std::int32_t AErrorCode, QString ASource = {})
      : Exception(std::move(AMessage)), FErrorCode(AErrorCode), FSource(std::move(ASource)) {}
  QString ClassName() const override { return QStringLiteral("EOleException"); }
  std::int32_t ErrorCode() const noexcept { return FErrorCode; }
  const QString& Source() const noexcept { return FSource; }

private:
  std::int32_t FErrorCode;
  QString FSource;
};

// Class name and message of whatever is being handled right now; for code
// that logs "the current exception" without knowing its type.
struct TExceptionInfo {
  QString ClassName;
  QString Message;
};
TExceptionInfo DescribeException(std::exception_ptr AException);
TExceptionInfo DescribeCurrentException();
