#include "platform/windows/WindowsPlatform.h"

WindowsPlatform::WindowsPlatform() = default;

Platform& DefaultPlatform() {
  static WindowsPlatform Windows;
  return Windows;
}
