// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <opencv2/core/mat.hpp>

#include "base/trace.h"
#include "engine/commands.h"
#include "engine/image_search.h"
#include "engine/number_scan.h"
#include "engine/run_observer.h"
#include "vision/template_path.h"

namespace engine {
namespace {

const char* LogText(Command command) {
    switch (command) {
        case Command::kImgClkF:
            return "を検索し、クリック\n";
        case Command::kImgClk:
            return "を検索し、クリック(マッチしない場合は無視)\n";
        case Command::kImgF:
            return "を検索し、移動\n";
        case Command::kImg:
            return "を検索し、移動(マッチしない場合は無視)\n";
        case Command::kChkImg:
            return "を検索\n";
        default:
            return "が無いことを検索\n";
    }
}

}  // namespace

std::optional<ImageArgs> ScanImageArgs(std::string_view args) {
    ImageArgs out;
    if (ScanNumbers(args, "%d,%d,%d,%d,%d,%lf",
                    {&out.image, &out.area.left, &out.area.top, &out.area.right, &out.area.bottom,
                     &out.threshold}) != 6) {
        return std::nullopt;
    }
    return out;
}

vision::ImageSearch SearchImage(RunContext& run, const platform::Rect& area,
                                const std::string& path, std::optional<double> threshold) {
    vision::ImageSearch search =
        threshold ? vision::FindImage(run.desktop, area, path, run.settings.matcher, *threshold,
                                      run.settings.observer != nullptr)
                  : vision::FindImage(run.desktop, area, path, run.settings.matcher);
    if (run.settings.observer) run.settings.observer->ImageSearched(area, path, search);
    return search;
}

int RunImageCommand(RunContext& run, Command command, const CommandLine& line) {
    if (command == Command::kImg) trace::Printf("画像に移動\n");
    const auto image = ScanImageArgs(line.args);
    if (!image) {
        // A kept quirk: only the move commands say what was wrong; the clicking and the check
        // commands stop without a message, as scripts have always seen them do.
        if (command == Command::kImgF || command == Command::kImg) ArgumentError(run, line);
        return kFailed;
    }

    const std::string path = vision::TemplatePath(image->image);
    if (command == Command::kImg) trace::Printf("%sのマッチングを開始\n", path.c_str());
    const vision::ImageSearch search = SearchImage(run, image->area, path, image->threshold);
    run.log += path + LogText(command);
    // A search that could not be made counts as not found.
    const bool found = search.searched() && vision::ScoreAccepted(search.score, image->threshold);
    if (run.settings.observer) run.settings.observer->ImageJudged(image->threshold, found);
    const auto [x, y] = search.centre;

    switch (command) {
        case Command::kImgClkF:
            // A kept quirk: a strict click that finds nothing stops without a message.
            return found ? MoveAndClick(run, x, y) : kFailed;
        case Command::kImgClk:
            return found ? MoveAndClick(run, x, y) : kDone;
        case Command::kImgF:
            if (found) return MovePointer(run, x, y);
            run.error = "Can't find Image " + path;
            return kFailed;
        case Command::kImg:
            return found ? MovePointer(run, x, y) : kDone;
        case Command::kChkImg:
            if (found) return kDone;
            run.error = "Can't find like " + path + " ";
            return kFailed;
        default:
            if (!found) return kDone;
            run.error = "Find like " + path + " ";
            return kFailed;
    }
}

namespace {

// A threshold in its shortest form: 100, 85.5.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void CheckThreshold(CheckContext& check, double threshold) {
    if (std::isnan(threshold) || threshold >= 100) {
        check.Error("no score exceeds the threshold " + Number(threshold) +
                    ": scores go up to 100");
    } else if (threshold <= 0) {
        check.Warning("every placement passes the threshold " + Number(threshold));
    }
}

void CheckTemplate(CheckContext& check, const std::string& path, cv::Size limit) {
    cv::Mat picture;
    try {
        switch (vision::LoadTemplate(path, limit, &picture)) {
            case vision::TemplateLoad::kMissing:
                return check.Error(path + " does not exist");
            case vision::TemplateLoad::kUnreadable:
                return check.Error(path + " cannot be read");
            case vision::TemplateLoad::kNotAPicture:
                return check.Error(path + " is not a picture");
            case vision::TemplateLoad::kTooLarge:
                return check.Error(path + " is larger than the search area (" +
                                   std::to_string(limit.width) + "x" +
                                   std::to_string(limit.height) + ")");
            case vision::TemplateLoad::kLoaded:
                return;
        }
    } catch (const std::exception& e) {
        check.Error(path + " cannot be read: " + e.what());
    }
}

}  // namespace

void CheckImageCommand(CheckContext& check, Command, const CommandLine& line) {
    const auto image = ScanImageArgs(line.args);
    if (!image) {
        return check.Error(std::string(line.keyword) +
                           " needs image,left,top,right,bottom,threshold, numbers of 32 bits");
    }
    const platform::Rect& a = image->area;
    const std::string area = std::to_string(a.left) + "," + std::to_string(a.top) + "," +
                             std::to_string(a.right) + "," + std::to_string(a.bottom);
    const std::int64_t width = std::int64_t{a.right} - a.left;
    const std::int64_t height = std::int64_t{a.bottom} - a.top;
    if (width <= 0 || height <= 0) return check.Error("the search area " + area + " is empty");
    cv::Size limit(static_cast<int>(std::min<std::int64_t>(width, 1 << 30)),
                   static_cast<int>(std::min<std::int64_t>(height, 1 << 30)));
    if (platform::Desktop* desktop = check.desktop()) {
        const platform::Size screen = desktop->ScreenSize();
        const std::string on = " the " + std::to_string(screen.width) + "x" +
                               std::to_string(screen.height) + " screen";
        if (a.right <= 0 || a.bottom <= 0 || a.left >= screen.width || a.top >= screen.height) {
            return check.Error("the search area " + area + " lies outside" + on);
        }
        // The copy starts at the area's top-left corner and is at most a screen wide and high.
        if (a.left + std::min<std::int64_t>(width, screen.width) <= 0 ||
            a.top + std::min<std::int64_t>(height, screen.height) <= 0) {
            return check.Error("the search area " + area + " starts too far off" + on +
                               " to reach it");
        }
        limit = {std::min(limit.width, screen.width), std::min(limit.height, screen.height)};
    }
    CheckThreshold(check, image->threshold);
    CheckTemplate(check, vision::TemplatePath(image->image), limit);
}

}  // namespace engine
