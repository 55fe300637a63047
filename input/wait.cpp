#include "engine/event_maker.h"
#include "platform/desktop.h"

int CEvent_Maker::Wait(int ms) {
    // A negative count would be a wait of weeks as an unsigned sleep; it returns at once.
    if (ms > 0) platform::Active().Pause(static_cast<std::uint32_t>(ms));
    return 0;
}
