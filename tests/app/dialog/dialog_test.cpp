// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <filesystem>
#include <map>

#include "app/dialog/message_box.h"
#include "app/dialog/ravelkin_app.h"
#include "app/dialog/ravelkin_dlg.h"
#include "base/trace.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using Texts = std::vector<std::string>;

// Whether the dialog is on the screen for the user to see, neither minimised nor hidden.
bool InView(const wxTopLevelWindow& window) {
    return !window.IsIconized() && window.IsShownOnScreen();
}

// The recording desktop, noting whether the dialog was in view each time a run looked at the
// stop key (before every line, and between passes) or waited (WAIT).
struct WatchingDesktop : testing_support::FakeDesktop {
    bool IsKeyDown(std::uint8_t vk) override {
        Look();
        return FakeDesktop::IsKeyDown(vk);
    }
    void Pause(std::uint32_t ms) override {
        Look();
        FakeDesktop::Pause(ms);
    }
    void Look() {
        ++looks;
        if (dialog && InView(*dialog)) ++looks_in_view;
    }
    const wxTopLevelWindow* dialog = nullptr;
    int looks = 0, looks_in_view = 0;
};

// Stands for a script file that is listed but cannot be read: a link to nothing.
constexpr char kDanglingLink[] = "<link to nothing>";

// The real dialog in a folder of scripts, its engine on the recording desktop and its message
// boxes observed.
struct Session {
    explicit Session(const std::map<std::string, std::string>& files) {
        for (const auto& [name, text] : files) {
            if (text != kDanglingLink) dir.Write(name, text);
            if (text == kDanglingLink)
                std::filesystem::create_symlink("missing", dir.path() / name);
        }
        previous = app::SetMessageHandler([this](wxWindow*, const std::string& text) {
            // The dialog must be back, its log complete, before a message shows.
            messages.push_back((InView(*dialog) ? "" : "out of view: ") + text);
            log_at_message = Log();
        });
        desktop.dialog = dialog;
        dialog->Show();
        dialog->InitDialog();
        // On the screen, as the user sees it before pressing "開始".
        EXPECT_TRUE(testing_support::WaitUntil([this] {
            wxTheApp->Yield(true);
            return InView(*dialog);
        }));
    }
    ~Session() {
        dialog->Destroy();
        wxTheApp->ProcessPendingEvents();
        app::SetMessageHandler(previous);
    }
    std::string Log() const { return dialog->LogBox()->GetValue().utf8_string(); }

    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd{dir.path()};
    WatchingDesktop desktop;
    CRavelkinDlg* dialog = new CRavelkinDlg(dir.path().string(), desktop, {});
    app::MessageHandler previous;
    Texts messages;
    std::string log_at_message;
};

// The list: without regard to case, directories kept, nothing selected at first. The check of
// the context menu takes the selected script, or all of them in order.
TEST(Dialog, ListsScriptsWithoutRegardToCaseAndChecksTheChosenOnes) {
    Session s({{"b.dat", "mov 1,2\n"},
               {"A.dat", "WAIT 1\n"},
               {"C.DAT", ""},
               {"notes.txt", ""},
               {"d.dat/x", ""}});
    EXPECT_EQ(s.dialog->ScriptNames(), (Texts{"A.dat", "b.dat", "C.DAT", "d.dat"}));
    EXPECT_EQ(s.dialog->ScriptList()->GetString(2), "C.DAT");
    EXPECT_EQ(s.dialog->ScriptList()->GetSelection(), wxNOT_FOUND);
    s.dialog->CheckScripts();
    s.dialog->ScriptList()->SetSelection(0);
    s.dialog->CheckScripts();
    s.dialog->InOrderBox()->SetValue(true);
    s.dialog->CheckScripts();
    EXPECT_EQ(s.messages,
              (Texts{"ファイルが正しく選択されていません＞＜", "問題は見つかりませんでした",
                     "ravelkin: cannot read script file 'd.dat'\nb.dat:1: error: unknown command "
                     "'mov': the run stops here (commands are upper case: MOV)\n"}));
    s.dialog->InOrderBox()->SetValue(false);
    s.dir.Write("0.dat", "");
    s.dialog->ScriptList()->SetSelection(1);
    s.dialog->OnBnClickedReload();
    EXPECT_EQ(s.dialog->ScriptNames().front(), "0.dat");
    EXPECT_EQ(s.dialog->ScriptList()->GetSelection(), wxNOT_FOUND);
}

// The log block of one run, as the dialog shows it.
std::string Block(const std::string& file, const std::string& lines) {
    return "-----" + file + "実行開始-----\r\n" + lines + "-----" + file + "実行完了-----\r\n";
}

// "開始" with a note of the user's own in the log: every way a job ends, with the selected file
// or all in order ("order"), once or repeated ("+repeat"). The blocks follow the note; the
// dialog is out of view while scripts run, back before any message and after the job, and says
// how the job ended. "ログ削除" empties the log.
TEST(Dialog, StartRunsTheChosenScriptsOutOfViewAndSaysHowTheJobEnded) {
    const std::string w = "WAIT 10\n", x = "WAIT x\n", t = "10ms待つ\r\n";
    const std::string error = "エラーが発生しました: STRING's ARG ERROR : WAIT x";
    const std::string cancelled = "キャンセルされました", cut = cancelled + "\r\n";
    const Texts done = {"成功しました!!"}, stop = {cancelled}, fail = {error};
    const std::string a = Block("a.dat", t), one = Block("1.dat", t), two = Block("2.dat", t);
    const std::string two_fails = Block("2.dat", error);
    const struct {
        std::map<std::string, std::string> files;
        std::string how;  // "none" selected, "single" (the first), "order"; "+repeat"
        int stop_key_from_poll;
        std::string log;  // after the user's note
        Texts messages;
    } cases[] = {
        {{{"a.dat", w}}, "none", 99, "", {"ファイルが正しく選択されていません＞＜"}},
        // Completed; with repeat only the stop key between two passes ends the job.
        {{{"a.dat", w + "CLK\r\n; note\n"}},
         "single",
         99,
         Block("a.dat", t + "クリック\r\n"),
         done},
        {{{"1.dat", w}, {"2.dat", w}}, "order", 99, one + two, done},
        // Polls alternate: the run's before its line, the job's between passes.
        {{{"a.dat", w}}, "single+repeat", 3, a + a, stop},
        {{{"1.dat", w}, {"2.dat", w}}, "order+repeat", 2, one + two, stop},
        // Cancelled by the stop key before a line.
        {{{"a.dat", w + "CLK\n"}}, "single", 1, Block("a.dat", t + cut), stop},
        {{{"a.dat", w}}, "single+repeat", 4, a + a + Block("a.dat", cut), stop},
        {{{"1.dat", w}, {"2.dat", w}, {"3.dat", w}}, "order", 1, one + Block("2.dat", cut), stop},
        // Failed: the job ends at the failing line, repeated or not.
        {{{"a.dat", w + x + "CLK\n"}}, "single+repeat", 99, Block("a.dat", t + error), fail},
        {{{"1.dat", w}, {"2.dat", x}, {"3.dat", w}}, "order+repeat", 99, one + two_fails, fail},
        // Not loaded (a directory, a link to nothing): no block, no message, the job ends.
        {{{"a.dat/x", ""}}, "single", 99, "", {}},
        {{{"a.dat", kDanglingLink}}, "single+repeat", 99, "", {}},
        {{{"dir.dat/x", ""}, {"z.dat", w}}, "order", 99, "", {}},
        {{{"a.dat", w}, {"b.dat", kDanglingLink}}, "order+repeat", 99, a, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how + " ending " + (c.messages.empty() ? "silently" : c.messages.back()));
        Session s(c.files);
        s.desktop.HoldKeyDuringPolls(platform::vk::kRControl, c.stop_key_from_poll);
        s.dialog->LogBox()->ChangeValue("my note\n");
        const int selection = c.how.starts_with("single") ? 0 : wxNOT_FOUND;
        s.dialog->ScriptList()->SetSelection(selection);
        s.dialog->InOrderBox()->SetValue(c.how.starts_with("order"));
        s.dialog->RepeatBox()->SetValue(c.how.ends_with("+repeat"));
        s.dialog->OnBnClickedStart();
        EXPECT_TRUE(InView(*s.dialog));
        EXPECT_EQ(s.dialog->ScriptList()->GetSelection(), selection);  // ready to start again
        EXPECT_EQ(s.Log(), "my note\n" + c.log);
        EXPECT_EQ(s.messages, c.messages);
        EXPECT_EQ(s.log_at_message, c.messages.empty() ? "" : s.Log());
        EXPECT_EQ(s.desktop.looks > 0, !c.log.empty());
        EXPECT_EQ(s.desktop.looks_in_view, 0);
        s.dialog->OnBnClickedClearLog();
        EXPECT_EQ(s.Log(), "");
    }
}

// Without a desktop to drive the application says why, and ends without a dialog.
TEST(Dialog, StartUpWithoutADesktopSaysWhyAndEnds) {
    std::vector<std::string> messages;
    const app::MessageHandler previous = app::SetMessageHandler(
        [&](wxWindow*, const std::string& text) { messages.push_back(text); });
    bool dialog_ran = false;
    const auto no_desktop = [](std::string& error) {
        error = "no desktop here";
        return nullptr;
    };
    CRavelkinApp application({}, no_desktop, &dialog_ran);
    EXPECT_FALSE(application.OnInit());
    EXPECT_FALSE(dialog_ran);
    EXPECT_EQ(messages, Texts{"no desktop here"});
    app::SetMessageHandler(previous);
}

}  // namespace

// The dialog needs a display: scripts/lib/with-display gives each test program one.
int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) return 1;
    wxImage::AddHandler(new wxPNGHandler);
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
