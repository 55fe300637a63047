#include "app/ravelkin_app.h"

#include <wx/image.h>

#include <filesystem>

#include "app/message_box.h"
#include "app/ravelkin_dlg.h"
#include "platform/native_desktop.h"

wxIMPLEMENT_APP_NO_MAIN(CRavelkinApp);

namespace {
bool g_dialogRan = false;
}

bool MainDialogRan() {
    return g_dialogRan;
}

bool CRavelkinApp::OnInit() {
    wxImage::AddHandler(new wxPNGHandler);
    std::error_code ec;
    m_strCurrentDir = std::filesystem::current_path(ec).string();

    std::string error;
    m_desktop = platform::OpenNativeDesktop(error);
    if (!m_desktop) {
        ShowAppMessage(nullptr, error);
        return false;
    }
    platform::Install(m_desktop.get());

    {
        CRavelkinDlg dialog(m_strCurrentDir);
        SetTopWindow(&dialog);
        dialog.ShowModal();
        SetTopWindow(nullptr);
    }
    g_dialogRan = true;
    platform::Install(nullptr);
    // The dialog was the program: end instead of entering a message loop.
    return false;
}
