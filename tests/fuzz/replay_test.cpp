// SPDX-License-Identifier: GPL-3.0-or-later
// Replays the seed corpus and every input a fuzzer once found through the fuzz targets, in
// the normal builds: each finding stays a regression test.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int ScriptFuzzOne(const std::uint8_t* data, std::size_t size);
extern "C" int TemplateFuzzOne(const std::uint8_t* data, std::size_t size);

namespace {

void ReplayAll(const char* kind, int (*one)(const std::uint8_t*, std::size_t)) {
    int replayed = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        const auto dir = std::filesystem::path(RAVELKIN_FUZZ_DIR) / folder / kind;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), {});
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(one(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

TEST(FuzzReplay, ScriptsAndTemplates) {
    ReplayAll("script", ScriptFuzzOne);
    ReplayAll("template", TemplateFuzzOne);
}

}  // namespace
