// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the template picture Images/1.bmp, searched for on a small screen.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

struct World {
    testing_support::TempDir dir;
    testing_support::FakeDesktop desktop{96, 64};
    std::string path;

    World() {
        trace::SetOutput(nullptr);
        std::vector<std::uint8_t> bgr;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                bgr.insert(bgr.end(),
                           {static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 3),
                            static_cast<std::uint8_t>(x * y)});
            }
        }
        desktop.SetScreen(96, 64, std::move(bgr));
        // An absolute path: the working directory stays the fuzzer's, whose corpus paths may be
        // relative.
        path = (dir.path() / "Images/1.bmp").string();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    world.dir.Write("Images/1.bmp", std::string_view(reinterpret_cast<const char*>(data), size));
    CEvent_Maker engine(world.desktop);
    int x = -1;
    int y = -1;
    double score = -1;
    if (engine.FindImage(&x, &y, &score, platform::Rect{0, 0, 96, 64}, world.path.c_str())) {
        // A found placement lies inside the area and scores between 0 and 1.
        if (x < 0 || x > 96 || y < 0 || y > 64 || !(score >= -1e-6 && score <= 1 + 1e-6)) {
            __builtin_trap();
        }
    } else if (x != -1 || y != -1 || score != -1) {
        __builtin_trap();  // a failed search must leave the out-places alone
    }
    return 0;
}
