#pragma once

#include <sys/types.h>

#include <string>

namespace testing_support {

// A private Xvfb on a display number the server picks itself, optionally with openbox as
// window manager. Sets DISPLAY while it runs; stops both processes when destroyed.
class VirtualDisplay {
  public:
    struct Options {
        int width = 1280;
        int height = 800;
        bool window_manager = false;
    };
    VirtualDisplay() : VirtualDisplay(Options{}) {}
    explicit VirtualDisplay(const Options& options);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool ok() const { return !name_.empty() && error_.empty(); }
    const std::string& error() const { return error_; }
    // ":N"
    const std::string& name() const { return name_; }

  private:
    void StartServer(const Options& options);
    void StartWindowManager();

    pid_t server_ = -1;
    pid_t window_manager_ = -1;
    std::string name_;
    std::string error_;
    std::string previous_display_;
    bool had_display_ = false;
};

}  // namespace testing_support
