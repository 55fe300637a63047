#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/textctrl.h>

#include <memory>

#include "app/message_box.h"
#include "app/ravelkin_dlg.h"
#include "base/trace.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

struct Message {
    std::string text;
    bool dialog_minimised;
};

// The real dialog in a folder of scripts, its engine on the recording desktop and its message
// boxes observed.
class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_.path());
        previous_ = app::SetMessageHandler([this](wxWindow*, const std::string& text) {
            messages_.push_back({text, dialog_ && dialog_->IsIconized()});
        });
    }
    void TearDown() override {
        if (dialog_) dialog_->Destroy();
        wxTheApp->ProcessPendingEvents();
        app::SetMessageHandler(previous_);
    }

    CRavelkinDlg& Open() {
        dialog_ = new CRavelkinDlg(dir_.path().string(), desktop_, {});
        dialog_->Show();
        dialog_->InitDialog();
        return *dialog_;
    }
    // Chooses as the user would, with a note of the user's own in the log, and presses "開始".
    // The dialog must come back, and no message may come while it is minimised.
    void Start(int selection, bool in_order = false, bool repeat = false) {
        CRavelkinDlg& dialog = Open();
        dialog.LogBox()->ChangeValue("my note\n");
        dialog.ScriptList()->SetSelection(selection);
        dialog.InOrderBox()->SetValue(in_order);
        dialog.RepeatBox()->SetValue(repeat);
        dialog.OnBnClickedStart();
        EXPECT_FALSE(dialog.IsIconized());
        for (const auto& m : messages_) EXPECT_FALSE(m.dialog_minimised) << m.text;
    }
    std::string Log() const { return dialog_->LogBox()->GetValue().utf8_string(); }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : messages_) texts.push_back(m.text);
        return texts;
    }

    TempDir dir_;
    FakeDesktop desktop_;
    std::unique_ptr<ScopedCurrentDir> cwd_;
    app::MessageHandler previous_;
    std::vector<Message> messages_;
    CRavelkinDlg* dialog_ = nullptr;
};

TEST_F(DialogTest, ListsScriptsWithoutRegardToCaseAndKeepsDirectories) {
    dir_.Write("b.dat", "");
    dir_.Write("A.dat", "");
    dir_.Write("C.DAT", "");
    dir_.Write("notes.txt", "");
    dir_.Write("dat", "");
    std::filesystem::create_directory(dir_.path() / "d.dat");
    CRavelkinDlg& dialog = Open();
    const std::vector<std::string> expected = {"A.dat", "b.dat", "C.DAT", "d.dat"};
    EXPECT_EQ(dialog.ScriptNames(), expected);
    ASSERT_EQ(dialog.ScriptList()->GetCount(), 4u);
    EXPECT_EQ(dialog.ScriptList()->GetString(2), "C.DAT");
    EXPECT_EQ(dialog.ScriptList()->GetSelection(), wxNOT_FOUND);

    dir_.Write("0.dat", "");
    dialog.ScriptList()->SetSelection(1);
    dialog.OnBnClickedReload();
    EXPECT_EQ(dialog.ScriptNames().front(), "0.dat");
    EXPECT_EQ(dialog.ScriptList()->GetSelection(), wxNOT_FOUND);
}

// The log block of one run, as the dialog shows it.
std::string Block(const std::string& file, const std::string& lines) {
    return "-----" + file + "実行開始-----\r\n" + lines + "-----" + file + "実行完了-----\r\n";
}

using Texts = std::vector<std::string>;

TEST_F(DialogTest, StartWithoutSelectionAsksForOneAndRunsNothing) {
    dir_.Write("a.dat", "CLK\n");
    Start(wxNOT_FOUND);
    EXPECT_EQ(MessageTexts(), Texts{"ファイルが正しく選択されていません＞＜"});
    EXPECT_TRUE(desktop_.events.empty());
    EXPECT_EQ(Log(), "my note\n");
}

TEST_F(DialogTest, SingleFileRunAppendsItsBlockAfterTheUsersTextAndReportsSuccess) {
    dir_.Write("a.dat", "CLK\r\n; note\n");
    Start(0);
    EXPECT_EQ(Log(), "my note\n" + Block("a.dat", "クリック\r\n"));
    EXPECT_EQ(MessageTexts(), Texts{"成功しました!!"});
    dialog_->OnBnClickedClearLog();
    EXPECT_EQ(Log(), "");
}

TEST_F(DialogTest, InOrderRunStopsAtTheFirstFileThatDoesNotComplete) {
    dir_.Write("1.dat", "CLK\n");
    dir_.Write("2.dat", "WAIT x\n");
    dir_.Write("3.dat", "CLK\n");
    Start(wxNOT_FOUND, true, true);
    const std::string error = "エラーが発生しました: STRING's ARG ERROR : WAIT x";
    EXPECT_EQ(Log(), "my note\n" + Block("1.dat", "クリック\r\n") + Block("2.dat", error));
    EXPECT_EQ(MessageTexts(), Texts{error});
    EXPECT_EQ(desktop_.events.size(), 2u);  // only the first file clicked
}

TEST_F(DialogTest, RepeatedSingleFileEndsOnTheFirstRunThatDoesNotComplete) {
    dir_.Write("a.dat", "WAIT 10\n");
    // Polls alternate: the run's before its line, the job's between passes. The fifth poll,
    // the third run's, finds the key down.
    desktop_.HoldKeyDuringPolls(platform::vk::kRControl, 4);
    Start(0, false, true);
    EXPECT_EQ(desktop_.now_ms, 20u);
    EXPECT_EQ(MessageTexts(), Texts{"キャンセルされました"});
    EXPECT_TRUE(Log().ends_with(Block("a.dat", "キャンセルされました\r\n"))) << Log();
}

TEST_F(DialogTest, UnloadableFileEndsTheJobSilently) {
    std::filesystem::create_directory(dir_.path() / "dir.dat");
    dir_.Write("z.dat", "CLK\n");
    Start(wxNOT_FOUND, true);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Log(), "my note\n");
    EXPECT_TRUE(desktop_.events.empty());
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
