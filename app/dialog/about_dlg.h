// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/dialog.h>

// The About box: the application icon, name and version, a rights line, and OK.
class CAboutDlg : public wxDialog {
  public:
    explicit CAboutDlg(wxWindow* parent);
};
