#pragma once

#include "platform/desktop.h"

namespace testing_support {

// Makes a desktop the active one while it lives.
class ScopedInstall {
  public:
    explicit ScopedInstall(platform::Desktop* desktop) : previous_(platform::Install(desktop)) {}
    ~ScopedInstall() { platform::Install(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

  private:
    platform::Desktop* previous_;
};

}  // namespace testing_support
