// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/ravelkin_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/fontenum.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/numdlg.h>
#include <wx/richmsgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/utils.h>
#ifdef __WXMSW__
#include <wx/msw/wrapwin.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <opencv2/core/mat.hpp>
#include <sstream>

#include "app/dialog/about_dlg.h"
#include "app/dialog/app_icon.h"
#include "app/dialog/capture_overlay.h"
#include "app/dialog/message_box.h"
#include "app/dialog/resource.h"
#include "app/runner/check.h"
#include "app/runner/log_block.h"
#include "app/runner/record_script.h"
#include "app/runner/script_job.h"
#include "app/runner/script_run.h"
#include "app/runner/template_capture.h"
#include "app/runner/wayland_notice.h"
#include "vision/capture_desktop.h"

namespace {

// Windows draws this dialog in "MS UI Gothic" 9 pt; elsewhere the first Japanese face there is.
wxFont DialogFont() {
    for (const char* face : {"MS UI Gothic", "IPAGothic", "IPAPGothic", "Noto Sans CJK JP"}) {
        if (wxFontEnumerator::IsValidFacename(face)) {
            return wxFont(wxFontInfo(9).FaceName(face));
        }
    }
    return wxFont(wxFontInfo(9));
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Alphabetical without regard to case; names that differ only in case keep a fixed order.
bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    return la != lb ? la < lb : a < b;
}

// Script files match *.dat without regard to case, as on the file systems scripts came from.
bool HasDatExtension(const std::string& name) {
    return name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".dat";
}

// Keeps the user interface answering while waiting, bounded, for the window manager.
void WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        wxSafeYield(nullptr, true);
        wxMilliSleep(10);
    }
    wxSafeYield(nullptr, true);
}

// Gives the keyboard back, when it goes, to the control of the dialog that had it when it came:
// after menus, minimising and message boxes the toolkit leaves the dialog with no focused control.
class FocusReturn {
  public:
    explicit FocusReturn(wxWindow* dialog) : focused_(wxWindow::FindFocus()) {
        if (focused_ && !dialog->IsDescendant(focused_)) focused_ = nullptr;
    }
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;
    ~FocusReturn() {
        if (focused_) focused_->SetFocus();
    }

  private:
    wxWindow* focused_;
};

}  // namespace

CRavelkinDlg::CRavelkinDlg(std::string current_dir, platform::Desktop& desktop,
                           engine::RunSettings settings, wxWindow* parent)
    : wxDialog(parent, IDD_RAVELKIN_DIALOG, "Ravelkin", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_currentDir(std::move(current_dir)),
      m_desktop(desktop),
      m_settings(settings),
      m_hIcon(app::AppIcons()) {
    SetFont(DialogFont());
    CreateControls();
    SetIcons(m_hIcon);
    Centre(wxBOTH);

    Bind(wxEVT_INIT_DIALOG, &CRavelkinDlg::OnInitDialog, this);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedStart(); }, IDC_START);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedReload(); }, IDC_RELOAD);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedClearLog(); }, IDC_CLEAR_LOG);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); }, IDCLOSE_BUTTON);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
        if (IsModal()) {
            EndModal(IDCLOSE_BUTTON);
        } else {
            Hide();
        }
    });
    const std::pair<int, const char*> tools[] = {{IDM_CAPTURE, kCaptureItemText},
                                                 {IDM_RECORD, kRecordItemText},
                                                 {IDM_CHECK, kCheckItemText}};
#ifdef __WXMSW__
    // The About item and the tools at the end of the window's system menu.
    if (const HMENU system = ::GetSystemMenu(static_cast<HWND>(GetHWND()), FALSE)) {
        ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, wxString::FromUTF8(kAboutItemText).wc_str());
        for (const auto& [id, label] : tools) {
            ::AppendMenuW(system, MF_STRING, id, wxString::FromUTF8(label).wc_str());
        }
    }
#endif
    // The tools in the context menu; on GTK, which has no system menu to extend, the About
    // item too (and F1).
    Bind(wxEVT_CONTEXT_MENU, [this, tools](wxContextMenuEvent&) {
        wxMenu menu;
#ifndef __WXMSW__
        menu.Append(IDM_ABOUTBOX, wxString::FromUTF8(kAboutItemText));
#endif
        for (const auto& [id, label] : tools) menu.Append(id, wxString::FromUTF8(label));
        const FocusReturn focus(this);  // the items run while the menu is open
        PopupMenu(&menu);
    });
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowAboutBox(); }, IDM_ABOUTBOX);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { CaptureTemplate(); }, IDM_CAPTURE);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { CheckScripts(); }, IDM_CHECK);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { RecordScript(); }, IDM_RECORD);
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_F1) {
            ShowAboutBox();
        } else {
            event.Skip();
        }
    });
    SetEscapeId(IDCLOSE_BUTTON);
}

void CRavelkinDlg::CreateControls() {
    // Positions and sizes are in dialog units, as the layout was drawn.
    const auto at = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
    const auto size = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };
    const auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };

    SetClientSize(size(254, 269));

    auto* ok = new wxButton(this, IDOK_HIDDEN, "OK", at(7, 7), size(50, 14));
    ok->Disable();
    ok->Hide();
    new wxButton(this, IDCLOSE_BUTTON, text("終了"), at(197, 248), size(50, 14));
    auto* repeat_label = new wxStaticText(this, wxID_ANY, text("繰り返し回数\r\n(0で無限)"),
                                          at(7, 19), size(49, 23), wxALIGN_CENTRE_HORIZONTAL);
    repeat_label->Hide();
    new wxButton(this, IDC_START, text("開始"), at(7, 248), size(50, 14));
    auto* repeat_count = new wxTextCtrl(this, IDC_REPEAT_COUNT, "", at(62, 17), size(40, 14));
    repeat_count->Hide();
    auto* stop_hint = new wxStaticText(this, wxID_ANY, text("停止には右CTRLを長押ししてください"),
                                       at(14, 43), size(102, 8));
    stop_hint->Hide();
    (new wxButton(this, IDC_TEST_IMAGE, text("1.bmpでテスト"), at(197, 57), size(50, 14)))->Hide();
    (new wxButton(this, IDC_PLEASE, text("おねがい＞＜"), at(197, 29), size(50, 14)))->Hide();
    (new wxButton(this, IDC_RELOAD, text("設定ファイル再読み込み"), at(173, 7), size(74, 16)))
        ->Hide();
    // A drop-down list without an edit field. The layout's height of 108 includes the
    // dropped-down list; the closed box takes the toolkit's own height, so it does not cover
    // the controls below it.
    auto* list = new wxChoice(this, IDC_SCRIPT_LIST, at(26, 217));
    list->SetSize(wxSize(size(82, 108).x, list->GetBestSize().y));
    // Check boxes get at least the size the toolkit draws them in.
    const auto check_box = [&](int id, const char* label, wxPoint pos, wxSize dlu) {
        auto* box = new wxCheckBox(this, id, text(label), pos, dlu);
        box->SetSize(
            wxSize(std::max(dlu.x, box->GetBestSize().x), std::max(dlu.y, box->GetBestSize().y)));
    };
    check_box(IDC_IN_ORDER, "順番に実行", at(121, 221), size(49, 10));
    new wxTextCtrl(this, IDC_LOG, "", at(7, 7), size(229, 204),
                   wxTE_MULTILINE | wxHSCROLL | wxVSCROLL | wxTE_DONTWRAP);
    check_box(IDC_REPEAT, "繰り返し(右CTRLで停止)", at(121, 235), size(87, 10));
    new wxButton(this, IDC_CLEAR_LOG, text("ログ削除"), at(208, 223), size(39, 14));
}

wxChoice* CRavelkinDlg::ScriptList() const {
    return static_cast<wxChoice*>(FindWindow(IDC_SCRIPT_LIST));
}
wxCheckBox* CRavelkinDlg::InOrderBox() const {
    return static_cast<wxCheckBox*>(FindWindow(IDC_IN_ORDER));
}
wxCheckBox* CRavelkinDlg::RepeatBox() const {
    return static_cast<wxCheckBox*>(FindWindow(IDC_REPEAT));
}
wxTextCtrl* CRavelkinDlg::LogBox() const {
    return static_cast<wxTextCtrl*>(FindWindow(IDC_LOG));
}

void CRavelkinDlg::OnInitDialog(wxInitDialogEvent& event) {
    event.Skip();
    // GTK sends this at every Show, also when the dialog comes back after a job: the list, its
    // selection and the focus are set up only the first time.
    if (m_initialised) return;
    m_initialised = true;
    OnBnClickedReload();
    FindWindow(IDCLOSE_BUTTON)->SetFocus();
    // Once the dialog is on the screen.
    if (app::WaylandNoticeWanted(m_desktop)) CallAfter([this] { ShowWaylandNotice(); });
}

void CRavelkinDlg::ShowWaylandNotice() {
    wxRichMessageDialog notice(this, wxString::FromUTF8(app::kWaylandNotice), GetTitle(),
                               wxOK | wxICON_INFORMATION);
    notice.ShowCheckBox(wxString::FromUTF8(app::kWaylandNoticeCheckBox));
    notice.ShowModal();
    if (notice.IsCheckBoxChecked()) app::DismissWaylandNotice();
}

#ifdef __WXMSW__
WXLRESULT CRavelkinDlg::MSWWindowProc(WXUINT message, WXWPARAM w_param, WXLPARAM l_param) {
    if (message == WM_SYSCOMMAND) {
        switch (w_param & 0xFFF0) {
            case IDM_ABOUTBOX:
                ShowAboutBox();
                return 0;
            case IDM_CAPTURE:
                CaptureTemplate();
                return 0;
            case IDM_CHECK:
                CheckScripts();
                return 0;
            case IDM_RECORD:
                RecordScript();
                return 0;
        }
    }
    return wxDialog::MSWWindowProc(message, w_param, l_param);
}
#endif

void CRavelkinDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.ShowModal();
}

void CRavelkinDlg::CaptureTemplate() {
    const long number = wxGetNumberFromUser(wxString::FromUTF8(kCaptureNumberPrompt), "",
                                            GetTitle(), 1, 0, 0x7FFFFFFF, this);
    if (number < 0) return;
    // The screenshot without the dialog on it.
    Minimise();
    const platform::Size size = m_desktop.ScreenSize();
    cv::Mat screen;
    const bool copied = vision::CaptureDesktop(m_desktop, &screen, {0, 0, size.width, size.height});
    const auto area = copied ? app::SelectArea(screen) : std::nullopt;
    Restore();
    if (!area) return;
    const app::TemplateCapture made = app::MakeTemplate(
        screen, static_cast<std::int32_t>(number), *area, [this](const std::string& path) {
            return wxMessageBox(wxString::FromUTF8(path + " を置き換えますか?"), GetTitle(),
                                wxYES_NO | wxNO_DEFAULT, this) == wxYES;
        });
    if (!made.error.empty()) return app::ShowAppMessage(this, made.error);
    // The line goes to the clipboard too, ready to paste into a script.
    if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(made.line)));
        wxTheClipboard->Close();
    }
    app::ShowAppMessage(this, made.line + (made.warning.empty() ? "" : "\n\n" + made.warning));
}

void CRavelkinDlg::CheckScripts() {
    std::vector<std::string> files = m_scriptNames;
    if (!InOrderBox()->IsChecked()) {
        const int selection = ScriptList()->GetSelection();
        if (selection < 0 || selection >= static_cast<int>(m_scriptNames.size())) {
            return app::ShowAppMessage(this, kNoSelectionMessage);
        }
        files = {m_scriptNames[static_cast<std::size_t>(selection)]};
    }
    std::ostringstream findings;
    std::ostringstream unreadable;
    app::CheckScripts(files, &m_desktop, findings, unreadable);
    const std::string text = unreadable.str() + findings.str();
    app::ShowAppMessage(this, text.empty() ? std::string(kCheckCleanMessage) : text);
}

void CRavelkinDlg::RecordScript() {
    std::string name =
        wxGetTextFromUser(wxString::FromUTF8(kRecordNamePrompt), GetTitle(), "record.dat", this)
            .utf8_string();
    if (name.empty()) return;
    if (!HasDatExtension(name)) name += ".dat";
    const FocusReturn focus(this);
    bool minimised = false;
    const app::RecordResult recorded = app::RecordScript(
        m_desktop, name, {},
        [this](const std::string& path) {
            return wxMessageBox(wxString::FromUTF8(path + " を置き換えますか?"), GetTitle(),
                                wxYES_NO | wxNO_DEFAULT, this) == wxYES;
        },
        // Out of the way before the screen is first copied.
        [&] {
            Minimise();
            minimised = true;
        });
    if (minimised) Restore();
    OnBnClickedReload();
    const std::string said = recorded.written ? recorded.summary : "";
    if (!said.empty()) {
        LogBox()->ChangeValue(LogBox()->GetValue() + wxString::FromUTF8(app::ToCrLf(said)));
    }
    app::ShowAppMessage(this, recorded.error.empty() ? said : recorded.error + "\n" + said);
}

void CRavelkinDlg::OnBnClickedReload() {
    m_scriptNames.clear();
    ScriptList()->Clear();
    std::error_code ec;
    // Directories named like scripts are listed too; running one fails to load.
    for (std::filesystem::directory_iterator it(m_currentDir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (HasDatExtension(name)) m_scriptNames.push_back(std::move(name));
    }
    std::sort(m_scriptNames.begin(), m_scriptNames.end(), LessIgnoringCase);
    for (const auto& name : m_scriptNames) {
        wxString shown = wxString::FromUTF8(name);
        if (shown.empty()) shown = wxString(name.c_str(), wxConvLibc);
        ScriptList()->Append(shown);
    }
}

void CRavelkinDlg::OnBnClickedClearLog() {
    LogBox()->ChangeValue(wxString());
}

void CRavelkinDlg::Minimise() {
    // Where minimising does nothing (sway), the desktop takes the window away itself.
    m_hiddenByDesktop = m_desktop.HideOwnWindows(true);
    if (m_hiddenByDesktop) {
        wxSafeYield(nullptr, true);
        return;
    }
    Iconize(true);
    WaitUntil([this] { return IsIconized() || !IsShownOnScreen(); });
}

void CRavelkinDlg::Restore() {
    if (m_hiddenByDesktop) m_desktop.HideOwnWindows(false);
    m_hiddenByDesktop = false;
    Iconize(false);
    Show();
    Raise();
    WaitUntil([this] { return !IsIconized() && IsShownOnScreen(); });
}

int CRavelkinDlg::RunScript(const std::string& file_name) {
    const app::ScriptRun run = app::RunScriptFile(file_name, m_desktop, m_settings);
    if (run.outcome == app::RunOutcome::kNotLoaded) return 0;

    // The block goes into the box before the dialog comes back and before any message.
    const wxString old = LogBox()->GetValue();
    LogBox()->ChangeValue(old + wxString::FromUTF8(app::ToCrLf(run.block)));

    if (run.outcome == app::RunOutcome::kCancelled) {
        Restore();
        app::ShowAppMessage(this, std::string(app::kCancelledMessage));
    } else if (run.outcome == app::RunOutcome::kFailed) {
        Restore();
        app::ShowAppMessage(this, app::ErrorMessage(run.error_text));
    }
    return run.outcome == app::RunOutcome::kCompleted ? 1 : 0;
}

void CRavelkinDlg::RunJobOf(const std::vector<std::string>& files) {
    const FocusReturn focus(this);  // the control that started the job
    Minimise();
    // A run that does not complete has shown its own message, if any; the job only needs to
    // know that it ended there.
    const app::JobEnd end =
        app::RunJob(files, RepeatBox()->IsChecked(), m_desktop, [this](const std::string& file) {
            return RunScript(file) ? app::RunOutcome::kCompleted : app::RunOutcome::kFailed;
        });
    // Keys may stay held across the files of one job, never beyond it.
    m_desktop.ReleaseHeldInput();
    Restore();
    if (end == app::JobEnd::kSucceeded) {
        app::ShowAppMessage(this, kSuccessMessage);
    } else if (end == app::JobEnd::kStopped) {
        // Stopped between two passes: no run has said so yet.
        app::ShowAppMessage(this, std::string(app::kCancelledMessage));
    }
}

void CRavelkinDlg::OnBnClickedStart() {
    if (InOrderBox()->IsChecked()) {
        RunJobOf(m_scriptNames);
        return;
    }
    const int selection = ScriptList()->GetSelection();
    if (selection < 0 || selection >= static_cast<int>(m_scriptNames.size())) {
        app::ShowAppMessage(this, kNoSelectionMessage);
        return;
    }
    RunJobOf({m_scriptNames[static_cast<std::size_t>(selection)]});
}
