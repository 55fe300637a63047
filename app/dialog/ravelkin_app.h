// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/app.h>

#include <memory>
#include <string>

#include "app/runner/command_line.h"
#include "engine/run_settings.h"
#include "platform/desktop.h"

// The application: reads the start-up directory once, opens the desktop, runs the main dialog
// modally on it, and ends when the dialog closes.
class CRavelkinApp : public wxApp {
  public:
    // open_desktop gives the desktop the scripts run on. dialog_ran outlives the application
    // object, which the framework deletes when it ends: it is set once the main dialog has run
    // and closed, and stays false when start-up failed.
    CRavelkinApp(engine::RunSettings settings, app::DesktopOpener open_desktop, bool* dialog_ran)
        : m_settings(settings), m_openDesktop(std::move(open_desktop)), m_dialogRan(dialog_ran) {}

    bool OnInit() override;

    // The process's working directory, as read once at start-up.
    std::string m_strCurrentDir;

  private:
    engine::RunSettings m_settings;
    app::DesktopOpener m_openDesktop;
    bool* m_dialogRan;
    std::unique_ptr<platform::Desktop> m_desktop;
};
