// Loads arbitrary bytes as a script and runs it against the recording desktop: a small
// screen with a picture on it, pictures in Images/, and a few windows, so that every keyword
// reaches its handler.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

struct World {
    testing_support::TempDir dir;
    testing_support::FakeDesktop desktop{64, 48};
    std::unique_ptr<testing_support::ScopedCurrentDir> cwd;
    std::string script;

    World() {
        trace::SetOutput(nullptr);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                desktop.SetPixel(x, y, static_cast<std::uint8_t>(x * 4),
                                 static_cast<std::uint8_t>(y * 5),
                                 static_cast<std::uint8_t>((x ^ y) * 8));
            }
        }
        desktop.windows = {{"Notes - テキスト", false, platform::Rect{10, 10, 50, 40}},
                           {"Ravelkin Target", true, platform::Rect{-5, -5, 3, 3}},
                           {"vanished", false, std::nullopt}};
        // 1.bmp: an 8x8 cut of the screen; 2.bmp: grey; 3.bmp: larger than the screen.
        dir.Write("Images/1.bmp", Bmp(8, 8, 24, [](int x, int y, int c) {
                      return c == 0 ? (x + 4) * 4 : c == 1 ? (y + 4) * 5 : ((x + 4) ^ (y + 4)) * 8;
                  }));
        dir.Write("Images/2.bmp", Bmp(4, 4, 8, [](int x, int, int) { return x * 60; }));
        dir.Write("Images/3.bmp", Bmp(80, 2, 24, [](int, int, int) { return 7; }));
        cwd = std::make_unique<testing_support::ScopedCurrentDir>(dir.path());
        script = (dir.path() / "fuzz.dat").string();
    }

    // A bottom-up BMP with a palette for 8 bits, built by hand so the fuzzer needs no codec.
    template <typename Pixel>
    static std::string Bmp(int w, int h, int bits, Pixel pixel) {
        const int bytes_per_pixel = bits / 8;
        const int stride = (w * bytes_per_pixel + 3) & ~3;
        const int palette = bits == 8 ? 256 * 4 : 0;
        const int offset = 54 + palette;
        std::string out(static_cast<std::size_t>(offset + stride * h), '\0');
        auto put32 = [&](int at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (8 * i));
        };
        out[0] = 'B';
        out[1] = 'M';
        put32(2, static_cast<std::uint32_t>(out.size()));
        put32(10, static_cast<std::uint32_t>(offset));
        put32(14, 40);
        put32(18, static_cast<std::uint32_t>(w));
        put32(22, static_cast<std::uint32_t>(h));
        out[26] = 1;
        out[28] = static_cast<char>(bits);
        for (int i = 0; i < palette / 4; ++i) {
            out[54 + i * 4] = out[55 + i * 4] = out[56 + i * 4] = static_cast<char>(i);
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                for (int c = 0; c < bytes_per_pixel; ++c) {
                    out[offset + (h - 1 - y) * stride + x * bytes_per_pixel + c] =
                        static_cast<char>(pixel(x, y, c));
                }
            }
        }
        return out;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    world.dir.Write("fuzz.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    world.desktop.events.clear();
    world.desktop.pauses.clear();
    CEvent_Maker engine;
    if (engine.Load(world.script.c_str())) engine.RunList();
    world.desktop.ReleaseHeldInput();
    return 0;
}
