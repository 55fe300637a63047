// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/runner/log_block.h"

namespace app {
namespace {

TEST(LogBlock, FramesTheRunLogAndSaysHowTheRunEnded) {
    struct Case {
        int result;
        const char* runLog;
        const char* error;
        const char* block;
    };
    const Case cases[] = {
        {0, "", "", "-----a.dat実行開始-----\n-----a.dat実行完了-----\n"},
        {0, "クリック\n", "ignored",
         "-----a.dat実行開始-----\nクリック\n-----a.dat実行完了-----\n"},
        {1, "", "", "-----a.dat実行開始-----\nキャンセルされました\n-----a.dat実行完了-----\n"},
        {-1, "クリック\n", "E 100%s",
         "-----a.dat実行開始-----\nクリック\nエラーが発生しました: E "
         "100%s-----a.dat実行完了-----\n"},
        {-1, "", "", "-----a.dat実行開始-----\nエラーが発生しました: -----a.dat実行完了-----\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLogBlock("a.dat", c.runLog, c.result, c.error), c.block) << c.result;
    }
}

TEST(LogBlock, ConvertsEveryLineFeedOnceLeavingEarlierCarriageReturns) {
    EXPECT_EQ(ToCrLf(""), "");
    EXPECT_EQ(ToCrLf("a\nb\n\n"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(ToCrLf("a\r\nb\r"), "a\r\r\nb\r");
}

}  // namespace
}  // namespace app
