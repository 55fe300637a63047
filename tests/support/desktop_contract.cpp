#include "tests/support/desktop_contract.h"

#include "platform/absolute_position.h"

namespace testing_support {

void FakeWorld::ShowPattern() {
    std::vector<std::uint8_t> bgr;
    for (int y = 0; y < kContractHeight; ++y) {
        for (int x = 0; x < kContractWidth; ++x) {
            const Rgb c = PatternPixel(x, y);
            bgr.insert(bgr.end(), {c.b, c.g, c.r});
        }
    }
    desktop_.SetScreen(kContractWidth, kContractHeight, std::move(bgr));
}

bool FakeWorld::KeyHeld(std::uint8_t vk) const {
    bool held = false;
    for (const InputEvent& e : desktop_.events) {
        if (e.kind == InputEvent::Kind::kKey && e.vk == vk) held = e.down;
    }
    return held;
}

bool FakeWorld::LeftHeld() const {
    namespace mouse = platform::mouse;
    bool held = false;
    for (const InputEvent& e : desktop_.events) {
        if (e.flags & (mouse::kLeftDown | mouse::kLeftUp)) held = e.flags & mouse::kLeftDown;
    }
    return held;
}

// Where a real screen would put the pointer after the last absolute move.
platform::Point FakeWorld::Pointer() const {
    namespace mouse = platform::mouse;
    platform::Point at;
    for (const InputEvent& e : desktop_.events) {
        if (e.kind == InputEvent::Kind::kMouse && (e.flags & mouse::kMove) &&
            (e.flags & mouse::kAbsolute)) {
            at = {platform::PixelFromAbsolute(e.dx, kContractWidth),
                  platform::PixelFromAbsolute(e.dy, kContractHeight)};
        }
    }
    return at;
}

}  // namespace testing_support
