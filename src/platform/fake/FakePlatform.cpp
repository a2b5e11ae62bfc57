#include "platform/fake/FakePlatform.h"

FakeRegistry::FakeRegistry() : THiveRegistry(std::make_shared<TRegHive>()) {}

FakeRegistry::FakeRegistry(const QString& ARegText) : FakeRegistry() {
  Load(ARegText);
}

QStringList FakeRegistry::Load(const QString& ARegText, const QString& ASourceName) {
  return Hive().Apply(ARegText, ASourceName, true);
}
