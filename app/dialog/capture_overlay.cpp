// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/capture_overlay.h"

#include <wx/app.h>
#include <wx/dcbuffer.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/init.h>

#include <opencv2/core/mat.hpp>
#include <opencv2/imgproc.hpp>

namespace app {
namespace {

// The screenshot, full screen, with the rectangle being dragged drawn over it.
class Overlay : public wxDialog {
  public:
    explicit Overlay(const cv::Mat& screenshot)
        : wxDialog(nullptr, wxID_ANY, "Ravelkin", wxPoint(0, 0),
                   wxSize(screenshot.cols, screenshot.rows), wxBORDER_NONE | wxSTAY_ON_TOP) {
        cv::Mat rgb;
        cv::cvtColor(screenshot, rgb, cv::COLOR_BGR2RGB);
        // wxImage takes its own copy of the pixels.
        picture_ = wxBitmap(wxImage(rgb.cols, rgb.rows, rgb.data, true).Copy());
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        SetCursor(wxCursor(wxCURSOR_CROSS));
        Bind(wxEVT_PAINT, &Overlay::OnPaint, this);
        Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
            from_ = to_ = ClientToScreen(e.GetPosition());
            dragging_ = true;
            CaptureMouse();
        });
        Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
            if (!dragging_) return;
            to_ = ClientToScreen(e.GetPosition());
            Refresh(false);
        });
        Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& e) {
            if (!dragging_) return;
            dragging_ = false;
            if (HasCapture()) ReleaseMouse();
            to_ = ClientToScreen(e.GetPosition());
            if (Chosen().GetWidth() > 0 && Chosen().GetHeight() > 0) EndModal(wxID_OK);
        });
        Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
            if (e.GetKeyCode() == WXK_ESCAPE) {
                EndModal(wxID_CANCEL);
            } else {
                e.Skip();
            }
        });
        ShowFullScreen(true);
    }

    // The rectangle dragged in screen coordinates, right and bottom one past it. Points are
    // taken on the screen, so the area is right wherever the window manager put the window.
    wxRect Chosen() const {
        return wxRect(wxPoint(std::min(from_.x, to_.x), std::min(from_.y, to_.y)),
                      wxPoint(std::max(from_.x, to_.x) - 1, std::max(from_.y, to_.y) - 1));
    }

  private:
    void OnPaint(wxPaintEvent&) {
        wxAutoBufferedPaintDC dc(this);
        const wxPoint origin = ScreenToClient(wxPoint(0, 0));
        dc.DrawBitmap(picture_, origin);
        if (from_ == to_) return;
        dc.SetPen(wxPen(*wxRED, 2));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        wxRect chosen = Chosen();
        chosen.Offset(origin);
        dc.DrawRectangle(chosen);
    }

    wxBitmap picture_;
    wxPoint from_;
    wxPoint to_;
    bool dragging_ = false;
};

}  // namespace

std::optional<platform::Rect> SelectArea(const cv::Mat& screenshot) {
    Overlay overlay(screenshot);
    if (overlay.ShowModal() != wxID_OK) return std::nullopt;
    const wxRect r = overlay.Chosen();
    return platform::Rect{r.GetLeft(), r.GetTop(), r.GetRight() + 1, r.GetBottom() + 1};
}

std::optional<platform::Rect> SelectAreaAlone(const cv::Mat& screenshot) {
    wxApp::SetInstance(new wxApp());
    int argc = 1;
    char name[] = "ravelkin";
    char* argv[] = {name, nullptr};
    if (!wxEntryStart(argc, argv)) return std::nullopt;
    std::optional<platform::Rect> chosen = SelectArea(screenshot);
    wxEntryCleanup();
    return chosen;
}

}  // namespace app
