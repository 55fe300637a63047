// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/geometry.h"

struct org_kde_plasma_window_management;
struct org_kde_plasma_window;

namespace platform::wayland::kwin {

class PlasmaWindows;

// One window as plasma window management describes it, in KWin's global logical pixels.
struct PlasmaWindow {
    PlasmaWindows* owner = nullptr;
    org_kde_plasma_window* handle = nullptr;
    WindowHandle id = 0;
    std::string uuid;
    std::string title;
    Rect frame;
    bool has_frame = false;
    bool minimised = false;
    bool described = false;  // its first state has all come
};

// The windows KWin shows, and their stacking order, as KWin tells them.
class PlasmaWindows {
  public:
    // Takes the bound global and listens to it.
    explicit PlasmaWindows(org_kde_plasma_window_management* manager);
    ~PlasmaWindows();
    PlasmaWindows(const PlasmaWindows&) = delete;
    PlasmaWindows& operator=(const PlasmaWindows&) = delete;

    // Forgets its proxies without destroying them, once their display has gone with them.
    void Abandon();

    const std::list<PlasmaWindow>& windows() const { return windows_; }
    // The described windows, top first.
    std::vector<const PlasmaWindow*> TopFirst() const;
    const PlasmaWindow* Find(WindowHandle id) const;

  private:
    friend struct WindowEvents;
    void Add(const char* uuid);
    void Remove(org_kde_plasma_window* handle);

    org_kde_plasma_window_management* manager_;
    std::list<PlasmaWindow> windows_;
    std::vector<std::string> stacking_;  // uuids, bottom first
    WindowHandle next_id_ = 1;
};

// The uuids of a stacking order as KWin sends it, ';' between them.
std::vector<std::string> SplitStacking(const char* uuids);

}  // namespace platform::wayland::kwin
