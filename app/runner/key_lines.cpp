// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/key_lines.h"

#include <algorithm>
#include <iterator>

#include "engine/command_table.h"
#include "input/typing_table.h"
#include "platform/virtual_keys.h"

namespace app {
namespace {

namespace vk = platform::vk;

// 0 Ctrl, 1 Alt, 2 Win, 3 Shift, -1 another key. The right Ctrl ends a recording and never
// reaches here.
int ModifierOf(std::uint8_t code) {
    switch (code) {
        case vk::kControl:
        case vk::kLControl:
            return 0;
        case vk::kMenu:
        case vk::kLMenu:
        case vk::kRMenu:
            return 1;
        case vk::kLWin:
        case vk::kRWin:
            return 2;
        case vk::kShift:
        case vk::kLShift:
        case vk::kRShift:
            return 3;
        default:
            return -1;
    }
}

// The OPE name of a key that is not a modifier; null for one without.
const char* KeyName(std::uint8_t code) {
    for (const engine::KeyEntry& key : engine::kKeyTable) {
        if (key.vk == code && ModifierOf(code) < 0) return key.name.data();
    }
    return nullptr;
}

// How a comment names a key: its name on the desktop, else what it types, else its code.
std::string Named(const platform::WatchedEvent& key) {
    if (!key.name.empty()) return key.name;
    if (!key.text.empty()) return key.text;
    return "the key of code " + std::to_string(key.vk);
}

}  // namespace

void KeyLines::Flush() {
    if (text_.empty()) return;
    lines_.push_back("STR " + text_);
    text_.clear();
}

void KeyLines::Unrecorded(const std::string& what) {
    Flush();
    lines_.push_back("; not recorded: " + what);
    unrecorded_.push_back(what);
}

void KeyLines::Take(const platform::WatchedEvent& key) {
    const int modifier = ModifierOf(key.vk);
    if (key.down) {
        if (modifier == 3) {
            if (!shift_) shift_used_ = false;
            shift_ = true;
        } else if (modifier >= 0) {
            Modifier& m = modifiers_[modifier];
            if (!m.held) m = {m.name, true, false, false};
        } else {
            TakeDown(key);
        }
        return;
    }
    if (modifier == 3) {
        if (shift_ && !shift_used_) Unrecorded("Shift pressed alone: a script cannot press it");
        shift_ = false;
    } else if (modifier >= 0 && modifiers_[modifier].held) {
        Modifier& m = modifiers_[modifier];
        Flush();
        // Held around other keys it is let go of; pressed alone it is a key of its own.
        if (m.written) lines_.push_back(std::string("OPE_OFF ") + m.name);
        if (!m.used) lines_.push_back(std::string("OPE ") + m.name);
        m.held = false;
    }
}

void KeyLines::BeforeAction() {
    Flush();
    shift_used_ = true;
    for (Modifier& m : modifiers_) {
        if (!m.held) continue;
        m.used = true;
        if (!m.written) lines_.push_back(std::string("OPE_ON ") + m.name);
        m.written = true;
    }
}

void KeyLines::TakeDown(const platform::WatchedEvent& key) {
    // Text typed with the modifiers already on goes on in the same line.
    if (std::any_of(std::begin(modifiers_), std::end(modifiers_),
                    [](const Modifier& m) { return m.held && !m.written; })) {
        BeforeAction();
    }
    shift_used_ = true;
    const char* name = KeyName(key.vk);
    if (name && !shift_) {
        Flush();
        lines_.push_back(std::string("OPE ") + name);
    } else if (const auto byte = input::ByteTyping(key.text); byte && !name) {
        text_ += *byte;
    } else if (!key.text.empty() && shift_) {
        Unrecorded("Shift+" + Named(key) + " (types \"" + key.text +
                   "\"): a script types no capital letters and holds no Shift");
    } else if (shift_) {
        Unrecorded("Shift+" + Named(key) + ": a script holds no Shift");
    } else {
        Unrecorded(Named(key) + ": a script cannot press this key");
    }
}

void KeyLines::Finish() {
    Flush();
    for (Modifier& m : modifiers_) {
        if (m.held && m.written) lines_.push_back(std::string("OPE_OFF ") + m.name);
        m.held = false;
    }
}

}  // namespace app
