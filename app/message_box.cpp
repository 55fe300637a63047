#include "app/message_box.h"

#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/stdpaths.h>

namespace app {
namespace {

std::string ApplicationTitle() {
    return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName().utf8_string();
}

void ShowMessageBox(wxWindow* owner, const std::string& text) {
    wxMessageDialog box(owner, wxString::FromUTF8(text), wxString::FromUTF8(ApplicationTitle()),
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
