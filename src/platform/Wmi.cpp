#include "platform/Wmi.h"

#include <algorithm>

// ---- objects ---------------------------------------------------------------

const TWmiProperty* TWmiObject::Property(const QString& AName) const {
  for (const TWmiProperty& P : FProperties)
    if (P.Name.compare(AName, Qt::CaseInsensitive) == 0)
      return &P;
  return nullptr;
}

QVariant TWmiObject::Value(const QString& AName) const {
  const TWmiProperty* P = Property(AName);
  return P ? P->Value : QVariant();
}

TWmiObject& TWmiObject::Set(const QString& AName, int ACimType, const QVariant& AValue) {
  for (TWmiProperty& P : FProperties)
    if (P.Name.compare(AName, Qt::CaseInsensitive) == 0) {
      P.CimType = ACimType;
      P.Value = AValue;
      return *this;
    }
  FProperties.push_back({AName, ACimType, AValue});
  return *this;
}

// ---- the query language ----------------------------------------------------

class TWqlCondition {
public:
  enum TKind { Compare, And, Or } Kind = Compare;
  QString Property;
  QVariant Literal;
  // The terms of an AND or OR chain in text order. A chain of any length is
  // one level, so only parentheses (bounded) make the tree deeper, and
  // neither evaluating nor freeing a long chain recurses along it.
  std::vector<std::shared_ptr<const TWqlCondition>> Terms;
};

namespace {

[[noreturn]] void invalidQuery() {
  throw EOleException(QStringLiteral("Invalid query"), WBEM_E_INVALID_QUERY);
}

struct TToken {
  enum TKind { End, Name, String, Number, Star, Comma, Open, Close, Equals } Kind = End;
  QString Text;
};

std::vector<TToken> tokenize(const QString& AText) {
  std::vector<TToken> Tokens;
  qsizetype P = 0;
  const qsizetype N = AText.size();
  while (P < N) {
    const QChar C = AText[P];
    if (C.isSpace()) {
      ++P;
    } else if (C == u'*' || C == u',' || C == u'(' || C == u')' || C == u'=') {
      Tokens.push_back({C == u'*'   ? TToken::Star
                        : C == u',' ? TToken::Comma
                        : C == u'(' ? TToken::Open
                        : C == u')' ? TToken::Close
                                    : TToken::Equals,
                        QString(C)});
      ++P;
    } else if (C == u'\'' || C == u'"') {
      QString Text;
      ++P;
      for (;;) {
        if (P >= N)
          invalidQuery();
        if (AText[P] == C) {
          if (P + 1 < N && AText[P + 1] == C) {
            Text += C;
            P += 2;
            continue;
          }
          ++P;
          break;
        }
        Text += AText[P++];
      }
      Tokens.push_back({TToken::String, Text});
    } else if (C.isDigit() || ((C == u'-' || C == u'+') && P + 1 < N && AText[P + 1].isDigit())) {
      const qsizetype Start = P++;
      while (P < N && AText[P].isDigit())
        ++P;
      Tokens.push_back({TToken::Number, AText.mid(Start, P - Start)});
    } else if (C.isLetter() || C == u'_') {
      const qsizetype Start = P;
      while (P < N && (AText[P].isLetterOrNumber() || AText[P] == u'_'))
        ++P;
      Tokens.push_back({TToken::Name, AText.mid(Start, P - Start)});
    } else {
      invalidQuery();
    }
  }
  Tokens.push_back({TToken::End, {}});
  return Tokens;
}

class TWqlParser {
public:
  explicit TWqlParser(const QString& AText) : FTokens(tokenize(AText)) {}

  TWqlQuery Run() {
    TWqlQuery Query;
    keyword("SELECT");
    if (peek().Kind == TToken::Star) {
      ++FPos;
    } else {
      Query.Properties << name();
      while (peek().Kind == TToken::Comma) {
        ++FPos;
        Query.Properties << name();
      }
    }
    keyword("FROM");
    Query.ClassName = name();
    if (isKeyword("WHERE")) {
      ++FPos;
      Query.Where = orExpression(0);
    }
    if (peek().Kind != TToken::End)
      invalidQuery();
    return Query;
  }

private:
  // Conditions nest no deeper than this, so hostile text cannot exhaust the stack.
  static constexpr int MaxDepth = 64;

  const TToken& peek() const { return FTokens[FPos]; }
  bool isKeyword(const char* AWord) const {
    return peek().Kind == TToken::Name &&
           peek().Text.compare(QLatin1String(AWord), Qt::CaseInsensitive) == 0;
  }
  void keyword(const char* AWord) {
    if (!isKeyword(AWord))
      invalidQuery();
    ++FPos;
  }
  QString name() {
    if (peek().Kind != TToken::Name || isKeyword("FROM") || isKeyword("WHERE") ||
        isKeyword("AND") || isKeyword("OR") || isKeyword("SELECT"))
      invalidQuery();
    return FTokens[FPos++].Text;
  }

  // ATerm, or the chain of ATerm joined by AKeyword: one node with a term each.
  template <class TTerm>
  std::shared_ptr<const TWqlCondition> chain(TWqlCondition::TKind AKind, const char* AKeyword,
                                             TTerm ATerm) {
    auto First = ATerm();
    if (!isKeyword(AKeyword))
      return First;
    auto Node = std::make_shared<TWqlCondition>();
    Node->Kind = AKind;
    Node->Terms.push_back(std::move(First));
    while (isKeyword(AKeyword)) {
      ++FPos;
      Node->Terms.push_back(ATerm());
    }
    return Node;
  }

  std::shared_ptr<const TWqlCondition> orExpression(int ADepth) {
    return chain(TWqlCondition::Or, "OR", [&] { return andExpression(ADepth); });
  }

  std::shared_ptr<const TWqlCondition> andExpression(int ADepth) {
    return chain(TWqlCondition::And, "AND", [&] { return primary(ADepth); });
  }

  std::shared_ptr<const TWqlCondition> primary(int ADepth) {
    if (peek().Kind == TToken::Open) {
      if (ADepth >= MaxDepth)
        invalidQuery();
      ++FPos;
      auto Inner = orExpression(ADepth + 1);
      if (peek().Kind != TToken::Close)
        invalidQuery();
      ++FPos;
      return Inner;
    }
    auto Node = std::make_shared<TWqlCondition>();
    Node->Property = name();
    if (peek().Kind != TToken::Equals)
      invalidQuery();
    ++FPos;
    const TToken& Literal = FTokens[FPos++];
    if (Literal.Kind == TToken::String) {
      Node->Literal = Literal.Text;
    } else if (Literal.Kind == TToken::Number) {
      bool Ok = false;
      const qlonglong Value = Literal.Text.toLongLong(&Ok);
      if (!Ok)
        invalidQuery();
      Node->Literal = Value;
    } else {
      invalidQuery();
    }
    return Node;
  }

  std::vector<TToken> FTokens;
  std::size_t FPos = 0;
};

QVariant propertyValue(const TWmiObject& AObject, const QString& AName) {
  if (AName.compare(QLatin1String("__CLASS"), Qt::CaseInsensitive) == 0)
    return AObject.ClassName();
  return AObject.Value(AName);
}

bool equalValues(const QVariant& AValue, const QVariant& ALiteral) {
  if (!AValue.isValid() || AValue.isNull())
    return false;
  if (ALiteral.metaType().id() == QMetaType::QString) {
    if (AValue.metaType().id() == QMetaType::Bool)
      return ALiteral.toString().compare(AValue.toBool() ? QLatin1String("TRUE")
                                                         : QLatin1String("FALSE"),
                                         Qt::CaseInsensitive) == 0;
    return AValue.toString().compare(ALiteral.toString(), Qt::CaseInsensitive) == 0;
  }
  bool Ok = false;
  const qlonglong Number = AValue.toLongLong(&Ok);
  return Ok && Number == ALiteral.toLongLong();
}

bool matches(const TWqlCondition& ACondition, const TWmiObject& AObject) {
  const auto termMatches = [&AObject](const auto& ATerm) { return matches(*ATerm, AObject); };
  switch (ACondition.Kind) {
  case TWqlCondition::And:
    return std::all_of(ACondition.Terms.begin(), ACondition.Terms.end(), termMatches);
  case TWqlCondition::Or:
    return std::any_of(ACondition.Terms.begin(), ACondition.Terms.end(), termMatches);
  case TWqlCondition::Compare:
    return equalValues(propertyValue(AObject, ACondition.Property), ACondition.Literal);
  }
  return false;
}

std::optional<QVariant> required(const TWqlCondition& ACondition, const QString& AProperty) {
  if (ACondition.Kind == TWqlCondition::Compare)
    return ACondition.Property.compare(AProperty, Qt::CaseInsensitive) == 0
               ? std::optional(ACondition.Literal)
               : std::nullopt;
  if (ACondition.Kind == TWqlCondition::And)
    for (const auto& Term : ACondition.Terms)
      if (auto Value = required(*Term, AProperty))
        return Value;
  return std::nullopt;
}

} // namespace

TWqlQuery ParseWql(const QString& AQuery) {
  return TWqlParser(AQuery).Run();
}

bool TWqlQuery::Matches(const TWmiObject& AObject) const {
  return !Where || matches(*Where, AObject);
}

std::optional<QVariant> TWqlQuery::RequiredValue(const QString& AProperty) const {
  return Where ? required(*Where, AProperty) : std::nullopt;
}

// ---- the service over providers --------------------------------------------

std::vector<TWmiObject> TWmiServices::ExecQuery(const QString& AQuery, const QString& ALanguage,
                                                int) {
  if (ALanguage.compare(QLatin1String("WQL"), Qt::CaseInsensitive) != 0)
    throw EOleException(QStringLiteral("Invalid query type"), WBEM_E_INVALID_QUERY_TYPE);
  const TWqlQuery Query = ParseWql(AQuery);
  IWmiProvider* Provider = nullptr;
  for (IWmiProvider* P : FProviders)
    if (P->ClassName().compare(Query.ClassName, Qt::CaseInsensitive) == 0)
      Provider = P;
  if (!Provider)
    throw EOleException(QStringLiteral("Invalid class"), WBEM_E_INVALID_CLASS);
  std::vector<TWmiObject> Result;
  for (TWmiObject& Object : Provider->Instances(Query)) {
    if (!Query.Matches(Object))
      continue;
    if (Query.Properties.isEmpty()) {
      Result.push_back(std::move(Object));
      continue;
    }
    TWmiObject Projected(Object.ClassName());
    for (const QString& Name : Query.Properties)
      if (const TWmiProperty* P = Object.Property(Name))
        Projected.Set(P->Name, P->CimType, P->Value);
    Result.push_back(std::move(Projected));
  }
  return Result;
}

std::unique_ptr<IWmiServices> TLocalWmi::ConnectServer(const QString& AServer,
                                                       const QString& ANamespace, const QString&,
                                                       const QString&) {
  const bool Local = AServer.isEmpty() || AServer == QLatin1String(".") ||
                     AServer.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
  if (!Local || ANamespace.compare(QLatin1String("root\\CIMV2"), Qt::CaseInsensitive) != 0)
    throw EOleException(QStringLiteral("Invalid namespace"), WBEM_E_INVALID_NAMESPACE);
  std::vector<IWmiProvider*> Providers;
  for (const auto& Provider : FProviders)
    Providers.push_back(Provider.get());
  return std::make_unique<TWmiServices>(std::move(Providers));
}
