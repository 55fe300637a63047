// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/runner/log_block.h"

namespace app {
namespace {

TEST(LogBlock, FramesTheRunLogAndSaysHowTheRunEnded) {
    const std::string start = "-----a.dat実行開始-----\n", end = "-----a.dat実行完了-----\n";
    const struct {
        int result;
        const char *log, *error;
        std::string block;
    } cases[] = {
        {0, "", "", start + end},
        {0, "クリック\n", "ignored", start + "クリック\n" + end},
        {1, "", "", start + "キャンセルされました\n" + end},
        {-1, "クリック\n", "E 100%s", start + "クリック\nエラーが発生しました: E 100%s" + end},
        {-1, "", "", start + "エラーが発生しました: " + end},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLogBlock("a.dat", c.log, c.result, c.error), c.block) << c.result;
    }
    // Every line feed becomes CR LF once; earlier carriage returns stay.
    EXPECT_EQ(ToCrLf(""), "");
    EXPECT_EQ(ToCrLf("a\nb\n\n"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(ToCrLf("a\r\nb\r"), "a\r\r\nb\r");
}

}  // namespace
}  // namespace app
