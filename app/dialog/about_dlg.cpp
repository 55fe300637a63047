// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/about_dlg.h"

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "app/dialog/app_icon.h"
#include "app/dialog/resource.h"
#include "app/runner/version.h"

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, IDD_ABOUTBOX, wxString::FromUTF8("バージョン情報 Ravelkin"),
               wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    if (parent) SetFont(parent->GetFont());
    const auto at = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
    const auto size = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };

    SetClientSize(size(170, 62));
    const wxSize icon_size = size(21, 20);
    new wxStaticBitmap(this, wxID_ANY,
                       app::AppIcons().GetIcon(std::min(icon_size.x, icon_size.y),
                                               wxIconBundle::FALLBACK_NEAREST_LARGER),
                       at(14, 14), icon_size);
    // No mnemonic processing: the name is shown as written.
    new wxStaticText(this, wxID_ANY, wxString("Ravelkin, Version ") + kRavelkinShortVersion,
                     at(42, 14), size(114, 8), wxST_NO_AUTORESIZE);
    new wxStaticText(this, wxID_ANY, "Copyright (C) 2026 Ravelkin", at(42, 26), size(114, 8),
                     wxST_NO_AUTORESIZE);
    auto* ok = new wxButton(this, wxID_OK, "OK", at(113, 41), size(50, 14));
    ok->SetDefault();
    ok->SetFocus();
    Centre(wxBOTH);
}
