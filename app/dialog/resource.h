// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Control and resource identifiers of the dialogs.
enum ResourceId : int {
    IDOK_HIDDEN = 1,  // the hidden, disabled default button
    IDCLOSE_BUTTON = 2,
    IDM_ABOUTBOX = 0x0010,
    IDM_CAPTURE = 0x0020,
    IDM_CHECK = 0x0030,
    IDM_RECORD = 0x0040,
    IDD_ABOUTBOX = 100,
    IDD_RAVELKIN_DIALOG = 102,
    IDC_START = 1000,
    IDC_REPEAT_COUNT = 1001,
    IDC_TEST_IMAGE = 1002,
    IDC_PLEASE = 1003,
    IDC_RELOAD = 1004,
    IDC_SCRIPT_LIST = 1005,
    IDC_IN_ORDER = 1006,
    IDC_LOG = 1007,
    IDC_REPEAT = 1008,
    IDC_CLEAR_LOG = 1009,
};

// Texts of the dialogs, UTF-8.
inline constexpr char kAboutItemText[] = "バージョン情報 Ravelkin(&A)...";
inline constexpr char kCaptureItemText[] = "画像の取り込み(&C)...";
inline constexpr char kCheckItemText[] = "スクリプトのチェック(&K)";
inline constexpr char kRecordItemText[] = "スクリプトの記録(&R)...";
inline constexpr char kRecordNamePrompt[] =
    "記録するスクリプトのファイル名\n(右CTRLキーを押すと記録を終了します)";
inline constexpr char kCaptureNumberPrompt[] = "画像の番号 (Images/N.bmp)";
inline constexpr char kCheckCleanMessage[] = "問題は見つかりませんでした";
inline constexpr char kSuccessMessage[] = "成功しました!!";
inline constexpr char kNoSelectionMessage[] = "ファイルが正しく選択されていません＞＜";
