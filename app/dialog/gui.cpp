// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/gui.h"

#include <wx/app.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string_view>

#include "app/dialog/capture_overlay.h"
#include "app/dialog/ravelkin_app.h"
#include "app/runner/command_line.h"
#include "platform/allocator_tuning.h"
#include "platform/console.h"
#include "platform/native_desktop.h"

namespace app {
namespace {

int ShowDialog(const GuiRequest& request) {
    // RAVELKIN_MATCHER sets the matcher for the dialog as for the runner.
    const engine::RunSettings settings = SettingsFromEnvironment(std::cerr);
    // Without a desktop there is no screen for the toolkit either, which would end the process
    // trying to show the message: say it on standard error.
    std::string error;
    std::unique_ptr<platform::Desktop> desktop = platform::OpenNativeDesktop(error);
    if (!desktop) {
        std::cerr << "ravelkin: " << error << "\n";
        return static_cast<int>(ExitStatus::kNoDesktop);
    }
    platform::LeaveOwnConsole();
    bool dialog_ran = false;
    // The framework takes the application object over and deletes it when it ends; it is
    // given the desktop opened above.
    auto* application = new CRavelkinApp(
        settings, [&desktop](std::string&) { return std::move(desktop); }, &dialog_ran);
    // Named after the program the user started, as the framework names it by default after
    // the running file: the captions of the message boxes, the window class on X.
    const std::u8string stem = std::filesystem::path(request.program).stem().u8string();
    const wxString name = wxString::FromUTF8(reinterpret_cast<const char*>(stem.c_str()));
    application->SetAppName(name);
    application->SetAppDisplayName(name.Capitalize());
    wxApp::SetInstance(application);
    std::string program = request.program;
    char* argv[] = {program.data(), nullptr};
    int argc = 1;
    wxEntry(argc, argv);
    // wxEntry reports failure also when the dialog ran and start-up asked to end afterwards.
    return static_cast<int>(dialog_ran ? ExitStatus::kCompleted : ExitStatus::kNoDesktop);
}

// The runner's command line, with the overlay that lets --capture drag its area.
int RunCommandLineWithOverlay(const GuiRequest& request) {
    const engine::RunSettings settings = SettingsFromEnvironment(std::cerr);
    platform::InstallStopSignals();
    platform::UseUtf8Console();
    return static_cast<int>(RunCommandLine(request.args, std::cout, std::cerr,
                                           platform::OpenNativeDesktop, settings, SelectAreaAlone));
}

// The views, by the name a request gives.
struct View {
    std::string_view name;
    int (*show)(const GuiRequest&);
};
constexpr View kViews[] = {
    {"dialog", ShowDialog},
    {"command-line", RunCommandLineWithOverlay},
};

}  // namespace

int RunGui(const GuiRequest& request) {
    platform::KeepLargeBlocksInHeap();
    for (const View& view : kViews) {
        if (view.name == request.view) return view.show(request);
    }
    std::cerr << "ravelkin: the user interface has no view '" << request.view << "'\n";
    return static_cast<int>(ExitStatus::kUsage);
}

}  // namespace app
