#include "Exceptions.h"

#include <new>
#include <typeinfo>

Exception::Exception(QString AMessage) : FMessage(std::move(AMessage)), FUtf8(FMessage.toUtf8()) {}

TExceptionInfo DescribeException(std::exception_ptr AException) {
  if (!AException)
    return {};
  try {
    std::rethrow_exception(AException);
  } catch (const Exception& E) {
    return {E.ClassName(), E.Message()};
  } catch (const std::bad_alloc& E) {
    return {QStringLiteral("EOutOfMemory"), QStringLiteral("Out of memory")};
  } catch (const std::exception& E) {
    return {QString::fromLatin1(typeid(E).name()), QString::fromUtf8(E.what())};
  } catch (...) {
    return {QStringLiteral("Exception"), QStringLiteral("Unknown exception")};
  }
}

TExceptionInfo DescribeCurrentException() {
  return DescribeException(std::current_exception());
}
