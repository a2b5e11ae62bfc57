#pragma once
// The management-instrumentation port: a locator connects to a namespace,
// the service runs WQL queries, and each result is an object with named,
// typed properties. Values are QVariants: invalid for null, numbers, texts,
// Booleans, or QVariantList for arrays. Failures raise EOleException with the
// service's HRESULT (WBEM_E_INVALID_QUERY for text outside the query
// language, WBEM_E_INVALID_CLASS for an unknown class).
//
// Classes are served by providers (IWmiProvider); the query is parsed once,
// here, and the service filters and projects what a provider returns.

#include "common/Exceptions.h"
#include "common/WinError.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

// The Windows headers declare these as enumerators of their own (WBEMSTATUS);
// in a namespace the port's never collide with them, and a unit that has
// both names the one it means.
namespace WbemStatus {
inline constexpr HRESULT WBEM_E_FAILED = HRESULT(0x80041001);
inline constexpr HRESULT WBEM_E_NOT_FOUND = HRESULT(0x80041002);
inline constexpr HRESULT WBEM_E_INVALID_NAMESPACE = HRESULT(0x8004100E);
inline constexpr HRESULT WBEM_E_INVALID_CLASS = HRESULT(0x80041010);
inline constexpr HRESULT WBEM_E_INVALID_QUERY = HRESULT(0x80041017);
inline constexpr HRESULT WBEM_E_INVALID_QUERY_TYPE = HRESULT(0x80041018);
} // namespace WbemStatus
using namespace WbemStatus;

// CIM types of properties; arrays add wbemCimtypeArrayFlag. In a namespace
// for the same reason as the status codes (the system's scripting header
// declares the same enumerators).
namespace CimTypes {
enum TCimType : int {
  wbemCimtypeSint16 = 2,
  wbemCimtypeSint32 = 3,
  wbemCimtypeReal32 = 4,
  wbemCimtypeReal64 = 5,
  wbemCimtypeString = 8,
  wbemCimtypeBoolean = 11,
  wbemCimtypeObject = 13,
  wbemCimtypeSint8 = 16,
  wbemCimtypeUint8 = 17,
  wbemCimtypeUint16 = 18,
  wbemCimtypeUint32 = 19,
  wbemCimtypeSint64 = 20,
  wbemCimtypeUint64 = 21,
  wbemCimtypeDatetime = 101,
  wbemCimtypeReference = 102,
  wbemCimtypeChar16 = 103,
};
inline constexpr int wbemCimtypeArrayFlag = 0x2000;
} // namespace CimTypes
using namespace CimTypes;

struct TWmiProperty {
  QString Name;
  int CimType = CimTypes::wbemCimtypeString;
  QVariant Value; // invalid = null
};

class TWmiObject {
public:
  explicit TWmiObject(QString AClassName = {}) : FClassName(std::move(AClassName)) {}
  const QString& ClassName() const { return FClassName; }
  const std::vector<TWmiProperty>& Properties() const { return FProperties; }
  // Names compare without regard to case; null when the property is unknown.
  const TWmiProperty* Property(const QString& AName) const;
  QVariant Value(const QString& AName) const;
  TWmiObject& Set(const QString& AName, int ACimType, const QVariant& AValue);

private:
  QString FClassName;
  std::vector<TWmiProperty> FProperties;
};

// A parsed query of the WQL subset:
//   SELECT * | prop, ... FROM class [WHERE condition]
// conditions: prop = literal, joined by AND / OR, with parentheses; literals
// in single or double quotes (the quote doubled inside stands for one) or
// decimal numbers; keywords and names without regard to case.
class TWqlCondition;
class TWqlQuery {
public:
  QStringList Properties; // empty for *
  QString ClassName;
  std::shared_ptr<const TWqlCondition> Where; // null: no condition

  bool Matches(const TWmiObject& AObject) const;
  // The literal compared with AProperty when the condition requires it for
  // every row (it stands in the condition's top-level AND chain).
  std::optional<QVariant> RequiredValue(const QString& AProperty) const;
};

// Raises EOleException(WBEM_E_INVALID_QUERY) for text outside the subset.
TWqlQuery ParseWql(const QString& AQuery);

class IWmiProvider {
public:
  virtual ~IWmiProvider() = default;
  virtual QString ClassName() const = 0;
  // The instances for AQuery; the service applies the condition and the
  // property list afterwards, so a provider may return more.
  virtual std::vector<TWmiObject> Instances(const TWqlQuery& AQuery) = 0;
};

class IWmiServices {
public:
  virtual ~IWmiServices() = default;
  virtual std::vector<TWmiObject> ExecQuery(const QString& AQuery,
                                            const QString& ALanguage = QStringLiteral("WQL"),
                                            int AFlags = 0) = 0;
};

// The locator.
class IWmi {
public:
  virtual ~IWmi() = default;
  virtual std::unique_ptr<IWmiServices> ConnectServer(const QString& AServer,
                                                      const QString& ANamespace,
                                                      const QString& AUser,
                                                      const QString& APassword) = 0;
};

// The locator of the local machine: "localhost", "." or an empty server, and
// the namespace root\CIMV2 (any letter case); otherwise WBEM_E_INVALID_NAMESPACE.
class TLocalWmi : public IWmi {
public:
  std::unique_ptr<IWmiServices> ConnectServer(const QString& AServer, const QString& ANamespace,
                                              const QString& AUser,
                                              const QString& APassword) override;
  void AddProvider(std::unique_ptr<IWmiProvider> AProvider) {
    FProviders.push_back(std::move(AProvider));
  }

private:
  std::vector<std::unique_ptr<IWmiProvider>> FProviders;
};

// A service over a set of providers: parses, finds the class, filters and
// projects. Owns nothing; the providers outlive it.
class TWmiServices : public IWmiServices {
public:
  explicit TWmiServices(std::vector<IWmiProvider*> AProviders)
      : FProviders(std::move(AProviders)) {}
  std::vector<TWmiObject> ExecQuery(const QString& AQuery, const QString& ALanguage,
                                    int AFlags) override;

private:
  std::vector<IWmiProvider*> FProviders;
};
