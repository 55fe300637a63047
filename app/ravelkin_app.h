#pragma once

#include <wx/app.h>

#include <memory>
#include <string>

#include "platform/desktop.h"

// The application: reads the start-up directory once, runs the main dialog modally, and ends
// when the dialog closes.
class CRavelkinApp : public wxApp {
  public:
    bool OnInit() override;

    // The process's working directory, as read once at start-up.
    std::string m_strCurrentDir;

  private:
    std::unique_ptr<platform::Desktop> m_desktop;
};

wxDECLARE_APP(CRavelkinApp);

// True once the main dialog has run and closed; false when start-up failed. Outlives the
// application object, which the framework deletes when it ends.
bool MainDialogRan();
