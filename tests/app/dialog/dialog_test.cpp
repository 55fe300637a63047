#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/textctrl.h>

#include <map>

#include "app/dialog/message_box.h"
#include "app/dialog/ravelkin_app.h"
#include "app/dialog/ravelkin_dlg.h"
#include "base/trace.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using Texts = std::vector<std::string>;

// The real dialog in a folder of scripts, its engine on the recording desktop and its message
// boxes observed.
struct Session {
    explicit Session(const std::map<std::string, std::string>& files) {
        for (const auto& [name, text] : files) dir.Write(name, text);
        previous = app::SetMessageHandler([this](wxWindow*, const std::string& text) {
            // The dialog must be back before a message shows.
            messages.push_back((dialog->IsIconized() ? "while minimised: " : "") + text);
        });
        dialog->Show();
        dialog->InitDialog();
    }
    ~Session() {
        dialog->Destroy();
        wxTheApp->ProcessPendingEvents();
        app::SetMessageHandler(previous);
    }
    std::string Log() const { return dialog->LogBox()->GetValue().utf8_string(); }

    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd{dir.path()};
    testing_support::FakeDesktop desktop;
    CRavelkinDlg* dialog = new CRavelkinDlg(dir.path().string(), desktop, {});
    app::MessageHandler previous;
    Texts messages;
};

TEST(Dialog, ListsScriptsWithoutRegardToCaseAndKeepsDirectories) {
    Session s({{"b.dat", ""}, {"A.dat", ""}, {"C.DAT", ""}, {"notes.txt", ""}, {"d.dat/x", ""}});
    EXPECT_EQ(s.dialog->ScriptNames(), (Texts{"A.dat", "b.dat", "C.DAT", "d.dat"}));
    EXPECT_EQ(s.dialog->ScriptList()->GetString(2), "C.DAT");
    EXPECT_EQ(s.dialog->ScriptList()->GetSelection(), wxNOT_FOUND);
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

// "開始" with a note of the user's own in the log: the blocks follow it, the dialog comes back
// and says how the job ended; "ログ削除" empties the log.
TEST(Dialog, StartRunsTheChosenScriptsAndSaysHowTheJobEnded) {
    const std::string error = "エラーが発生しました: STRING's ARG ERROR : WAIT x";
    const std::string waited = Block("a.dat", "10ms待つ\r\n");
    const struct {
        std::map<std::string, std::string> files;
        int selection;
        bool in_order, repeat;
        int stop_key_from_poll;
        std::string log;  // after the user's note
        Texts messages;
        std::size_t events;
    } cases[] = {
        {{{"a.dat", "CLK\n"}},
         wxNOT_FOUND,
         false,
         false,
         99,
         "",
         {"ファイルが正しく選択されていません＞＜"},
         0},
        {{{"a.dat", "CLK\r\n; note\n"}},
         0,
         false,
         false,
         99,
         Block("a.dat", "クリック\r\n"),
         {"成功しました!!"},
         2},
        // In order the job ends at the first file that does not complete, repeated or not.
        {{{"1.dat", "CLK\n"}, {"2.dat", "WAIT x\n"}, {"3.dat", "CLK\n"}},
         wxNOT_FOUND,
         true,
         true,
         99,
         Block("1.dat", "クリック\r\n") + Block("2.dat", error),
         {error},
         2},
        // Polls alternate: the run's before its line, the job's between passes. The fifth, the
        // third run's, finds the key down.
        {{{"a.dat", "WAIT 10\n"}},
         0,
         false,
         true,
         4,
         waited + waited + Block("a.dat", "キャンセルされました\r\n"),
         {"キャンセルされました"},
         0},
        {{{"dir.dat/x", ""}, {"z.dat", "CLK\n"}}, wxNOT_FOUND, true, false, 99, "", {}, 0},
    };
    for (const auto& c : cases) {
        Session s(c.files);
        s.desktop.HoldKeyDuringPolls(platform::vk::kRControl, c.stop_key_from_poll);
        s.dialog->LogBox()->ChangeValue("my note\n");
        s.dialog->ScriptList()->SetSelection(c.selection);
        s.dialog->InOrderBox()->SetValue(c.in_order);
        s.dialog->RepeatBox()->SetValue(c.repeat);
        s.dialog->OnBnClickedStart();
        EXPECT_FALSE(s.dialog->IsIconized());
        EXPECT_EQ(s.Log(), "my note\n" + c.log);
        EXPECT_EQ(s.messages, c.messages);
        EXPECT_EQ(s.desktop.events.size(), c.events);
        s.dialog->OnBnClickedClearLog();
        EXPECT_EQ(s.Log(), "");
    }
}

// The check of the context menu: the selected script, or all of them in order.
TEST(Dialog, ChecksTheChosenScriptsAndShowsTheFindings) {
    Session s({{"a.dat", "WAIT 1\n"}, {"b.dat", "mov 1,2\n"}});
    s.dialog->CheckScripts();
    s.dialog->ScriptList()->SetSelection(0);
    s.dialog->CheckScripts();
    s.dialog->InOrderBox()->SetValue(true);
    s.dialog->CheckScripts();
    EXPECT_EQ(s.messages,
              (Texts{"ファイルが正しく選択されていません＞＜", "問題は見つかりませんでした",
                     "b.dat:1: error: unknown command 'mov': the run stops here "
                     "(commands are upper case: MOV)\n"}));
}

// Without a desktop to drive the application says why, and ends without a dialog.
TEST(Dialog, StartUpWithoutADesktopSaysWhyAndEnds) {
    std::vector<std::string> messages;
    const app::MessageHandler previous = app::SetMessageHandler(
        [&](wxWindow*, const std::string& text) { messages.push_back(text); });
    bool dialog_ran = false;
    CRavelkinApp application(
        {},
        [](std::string& error) {
            error = "no desktop here";
            return nullptr;
        },
        &dialog_ran);
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
