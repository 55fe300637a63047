// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/own_windows.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/wayland/sway_ipc.h"

namespace platform::wayland {
namespace {

using json = nlohmann::json;

constexpr int kMaxDepth = 256;

std::int64_t IntOr(const json& object, const char* key, std::int64_t fallback) {
    const auto it = object.find(key);
    return it != object.end() && it->is_number_integer() ? it->get<std::int64_t>() : fallback;
}

bool Collect(const json& node, bool scratchpad, bool floating, std::int32_t pid, int depth,
             std::vector<OwnView>& out) {
    if (!node.is_object() || depth > kMaxDepth) return false;
    const auto type = node.value("type", std::string());
    if (type == "workspace" && node.value("name", std::string()) == "__i3_scratch") {
        scratchpad = true;
    }
    if ((type == "con" || type == "floating_con") && IntOr(node, "pid", 0) == pid) {
        const auto rect = node.find("rect");
        const auto deco = node.find("deco_rect");
        if (rect == node.end() || !rect->is_object() || deco == node.end() || !deco->is_object()) {
            return false;
        }
        const std::int64_t x = IntOr(*rect, "x", 0), y = IntOr(*rect, "y", 0);
        const std::int64_t top = y - IntOr(*deco, "height", 0);
        const std::int64_t right = x + IntOr(*rect, "width", 0);
        const std::int64_t bottom = y + IntOr(*rect, "height", 0);
        out.push_back({IntOr(node, "id", 0), floating || type == "floating_con", scratchpad,
                       Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(top),
                            static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)}});
    }
    for (const char* key : {"nodes", "floating_nodes"}) {
        const auto it = node.find(key);
        if (it == node.end()) continue;
        if (!it->is_array()) return false;
        // Inside a floating container every view floats with it.
        const bool floats = floating || key[0] == 'f';
        for (const json& child : *it) {
            if (!Collect(child, scratchpad, floats, pid, depth + 1, out)) return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::vector<OwnView>> ParseOwnViews(std::string_view tree_json, std::int32_t pid) {
    const json tree = json::parse(tree_json, nullptr, false);
    if (tree.is_discarded() || !tree.is_object()) return std::nullopt;
    std::vector<OwnView> views;
    if (!Collect(tree, false, false, pid, 0, views)) return std::nullopt;
    return views;
}

std::optional<std::vector<OwnView>> ScratchpadHider::Views() {
    const auto reply = ipc_.Request(kSwayGetTree, {});
    if (!reply) return std::nullopt;
    return ParseOwnViews(reply->payload, pid_);
}

bool ScratchpadHider::Hide() {
    hidden_.clear();
    const auto views = Views();
    if (!views) return false;
    for (const OwnView& view : *views) {
        if (view.in_scratchpad) continue;
        if (ipc_.Command("[con_id=" + std::to_string(view.id) + "] move scratchpad")) {
            hidden_.push_back(view);
        }
    }
    return !hidden_.empty();
}

bool ScratchpadHider::Restore() {
    if (hidden_.empty()) return false;
    const std::vector<OwnView> was = std::move(hidden_);
    hidden_.clear();
    const auto now = Views();
    if (!now) return true;
    for (const OwnView& view : was) {
        // One the user has shown again, or that has closed, is left as it is: "scratchpad
        // show" would hide a shown one again.
        const bool still_hidden = std::any_of(now->begin(), now->end(), [&](const OwnView& v) {
            return v.id == view.id && v.in_scratchpad;
        });
        if (!still_hidden) continue;
        const std::string which = "[con_id=" + std::to_string(view.id) + "] ";
        ipc_.Command(which + "scratchpad show");
        // The scratchpad keeps its windows floating, and may centre one.
        ipc_.Command(which + (view.floating
                                  ? "move absolute position " + std::to_string(view.rect.left) +
                                        " " + std::to_string(view.rect.top)
                                  : std::string("floating disable")));
    }
    return true;
}

}  // namespace platform::wayland
