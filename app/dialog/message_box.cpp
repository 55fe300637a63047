// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace app {
namespace {

void ShowMessageBox(wxWindow* owner, const std::string& text) {
    // The application's name is that of the program the user started (RunGui sets it).
    wxMessageDialog box(owner, wxString::FromUTF8(text), wxTheApp->GetAppName(),
                        wxOK | wxICON_WARNING);
    box.ShowModal();
}

MessageHandler& Handler() {
    static MessageHandler handler = ShowMessageBox;
    return handler;
}

}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
    MessageHandler previous = Handler();
    Handler() = handler ? std::move(handler) : MessageHandler(ShowMessageBox);
    return previous;
}

void ShowAppMessage(wxWindow* owner, const std::string& text) {
    Handler()(owner, text);
}

}  // namespace app
