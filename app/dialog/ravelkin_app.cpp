// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/ravelkin_app.h"

#include <wx/image.h>

#include <filesystem>

#include "app/dialog/message_box.h"
#include "app/dialog/ravelkin_dlg.h"

bool CRavelkinApp::OnInit() {
    wxImage::AddHandler(new wxPNGHandler);
    std::error_code ec;
    m_strCurrentDir = std::filesystem::current_path(ec).string();

    std::string error;
    m_desktop = m_openDesktop(error);
    if (!m_desktop) {
        app::ShowAppMessage(nullptr, error);
        return false;
    }
    {
        CRavelkinDlg dialog(m_strCurrentDir, *m_desktop, m_settings);
        SetTopWindow(&dialog);
        dialog.ShowModal();
        SetTopWindow(nullptr);
    }
    *m_dialogRan = true;
    // The dialog was the program: end instead of entering a message loop.
    return false;
}
