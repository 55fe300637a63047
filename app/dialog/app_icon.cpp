// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/app_icon.h"

#include <wx/bitmap.h>
#include <wx/icon.h>

extern const unsigned char kIcon32[], kIcon48[], kIcon64[], kIcon128[];
extern const unsigned long kIcon32_size, kIcon48_size, kIcon64_size, kIcon128_size;

namespace app {

wxIconBundle AppIcons() {
    wxIconBundle bundle;
    const struct {
        const unsigned char* data;
        unsigned long size;
    } pngs[] = {{kIcon32, kIcon32_size},
                {kIcon48, kIcon48_size},
                {kIcon64, kIcon64_size},
                {kIcon128, kIcon128_size}};
    for (const auto& png : pngs) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap::NewFromPNGData(png.data, png.size));
        if (icon.IsOk()) bundle.AddIcon(icon);
    }
    return bundle;
}

}  // namespace app
