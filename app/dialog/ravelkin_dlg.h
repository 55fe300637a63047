// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/dialog.h>
#include <wx/iconbndl.h>

#include <string>
#include <vector>

#include "engine/run_settings.h"
#include "platform/desktop.h"

class wxCheckBox;
class wxChoice;
class wxTextCtrl;

// The main dialog: the script list of the start-up directory, Start with its two repeat
// modes, the log box, and the About box. Scripts run on the desktop it is given.
class CRavelkinDlg : public wxDialog {
  public:
    CRavelkinDlg(std::string current_dir, platform::Desktop& desktop, engine::RunSettings settings,
                 wxWindow* parent = nullptr);

    // Runs one script file and appends its log block; 1 when it completed, 0 otherwise.
    int RunScript(const std::string& file_name);

    void OnBnClickedStart();
    void OnBnClickedReload();
    void OnBnClickedClearLog();
    void ShowAboutBox();
    // The script tools: a template captured from the screen, and the check of the selected
    // script (of all of them with "順番に実行" ticked), whose findings a message shows.
    void CaptureTemplate();
    void CheckScripts();
    void RecordScript();

    wxChoice* ScriptList() const;
    wxCheckBox* InOrderBox() const;
    wxCheckBox* RepeatBox() const;
    wxTextCtrl* LogBox() const;
    // The script names in list order, as bytes (the list shows them as UTF-8 text).
    const std::vector<std::string>& ScriptNames() const { return m_scriptNames; }

  private:
#ifdef __WXMSW__
    // The system menu's About item arrives as WM_SYSCOMMAND.
    WXLRESULT MSWWindowProc(WXUINT message, WXWPARAM w_param, WXLPARAM l_param) override;
#endif
    void CreateControls();
    // In a Wayland session: what works and what does not, until the user says it is enough.
    void ShowWaylandNotice();
    void OnInitDialog(wxInitDialogEvent& event);
    void RunJobOf(const std::vector<std::string>& files);
    void Minimise();
    void Restore();

    std::string m_currentDir;
    platform::Desktop& m_desktop;
    engine::RunSettings m_settings;
    wxIconBundle m_hIcon;
    std::vector<std::string> m_scriptNames;
    bool m_initialised = false;
    bool m_hiddenByDesktop = false;  // Minimise had the desktop hide the window
};
