#include "engine/event_maker.h"

// Window commands come with the window lookup; until then they end like an unknown keyword.
int CEvent_Maker::RunWindowCommand(int, std::string_view) {
    return -1;
}
