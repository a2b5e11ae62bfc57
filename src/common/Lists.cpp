#include "Lists.h"

void RaiseListIndexError(qsizetype AIndex) {
  throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
}
