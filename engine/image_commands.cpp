#include "engine/event_maker.h"

// Image commands come with screen recognition; until then they end like an unknown keyword.
int CEvent_Maker::RunImageCommand(int, const std::string&, std::string_view) {
    return -1;
}
