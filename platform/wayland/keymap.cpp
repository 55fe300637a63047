// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/keymap.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <map>
#include <vector>

#include "platform/system/linux/keysyms.h"
#include "platform/virtual_keys.h"

namespace platform::wayland {

std::uint32_t UsKeyFor(std::uint8_t vk) {
    static constexpr std::array<std::uint8_t, 26> kLetters = {
        KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
        KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
    static constexpr std::array<std::uint8_t, 10> kKeypad = {
        KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4, KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
    static constexpr std::array<std::uint8_t, 12> kFunctions = {KEY_F1, KEY_F2,  KEY_F3,  KEY_F4,
                                                                KEY_F5, KEY_F6,  KEY_F7,  KEY_F8,
                                                                KEY_F9, KEY_F10, KEY_F11, KEY_F12};
    if (vk >= 'A' && vk <= 'Z') return kLetters[vk - 'A'];
    if (vk == '0') return KEY_0;
    if (vk >= '1' && vk <= '9') return KEY_1 + (vk - '1');
    if (vk >= 0x60 && vk <= 0x69) return kKeypad[vk - 0x60];
    if (vk >= 0x70 && vk <= 0x7B) return kFunctions[vk - 0x70];
    if (vk >= 0x7C && vk <= 0x87) return KEY_F13 + (vk - 0x7C);
    static const std::map<std::uint8_t, std::uint32_t> kOthers = {{vk::kBack, KEY_BACKSPACE},
                                                                  {0x09, KEY_TAB},
                                                                  {vk::kReturn, KEY_ENTER},
                                                                  {vk::kShift, KEY_LEFTSHIFT},
                                                                  {vk::kControl, KEY_LEFTCTRL},
                                                                  {vk::kMenu, KEY_LEFTALT},
                                                                  {0x13, KEY_PAUSE},
                                                                  {0x14, KEY_CAPSLOCK},
                                                                  {vk::kEscape, KEY_ESC},
                                                                  {vk::kSpace, KEY_SPACE},
                                                                  {0x21, KEY_PAGEUP},
                                                                  {0x22, KEY_PAGEDOWN},
                                                                  {0x23, KEY_END},
                                                                  {0x24, KEY_HOME},
                                                                  {vk::kLeft, KEY_LEFT},
                                                                  {vk::kUp, KEY_UP},
                                                                  {vk::kRight, KEY_RIGHT},
                                                                  {vk::kDown, KEY_DOWN},
                                                                  {vk::kSnapshot, KEY_SYSRQ},
                                                                  {0x2D, KEY_INSERT},
                                                                  {vk::kDelete, KEY_DELETE},
                                                                  {vk::kLWin, KEY_LEFTMETA},
                                                                  {0x5C, KEY_RIGHTMETA},
                                                                  {0x5D, KEY_COMPOSE},
                                                                  {0x6A, KEY_KPASTERISK},
                                                                  {0x6B, KEY_KPPLUS},
                                                                  {vk::kSeparator, KEY_KPCOMMA},
                                                                  {vk::kSubtract, KEY_KPMINUS},
                                                                  {vk::kDecimal, KEY_KPDOT},
                                                                  {vk::kDivide, KEY_KPSLASH},
                                                                  {0x90, KEY_NUMLOCK},
                                                                  {0x91, KEY_SCROLLLOCK},
                                                                  {0xA0, KEY_LEFTSHIFT},
                                                                  {0xA1, KEY_RIGHTSHIFT},
                                                                  {0xA2, KEY_LEFTCTRL},
                                                                  {vk::kRControl, KEY_RIGHTCTRL},
                                                                  {0xA4, KEY_LEFTALT},
                                                                  {0xA5, KEY_RIGHTALT},
                                                                  {vk::kOemComma, KEY_COMMA},
                                                                  {vk::kOem2, KEY_SLASH}};
    const auto found = kOthers.find(vk);
    return found == kOthers.end() ? 0 : found->second;
}

namespace {

// The character Shift gives on the US keyboard, for the keys that type one.
std::uint32_t ShiftedKeysym(std::uint8_t vk) {
    static constexpr char kDigits[] = ")!@#$%^&*(";
    if (vk >= 'A' && vk <= 'Z') return XKB_KEY_A + (vk - 'A');
    if (vk >= '0' && vk <= '9') return static_cast<unsigned char>(kDigits[vk - '0']);
    if (vk == vk::kOemComma) return XKB_KEY_less;
    if (vk == vk::kOem2) return XKB_KEY_question;
    return 0;
}

std::string Name(std::uint32_t keysym) {
    char name[64];
    xkb_keysym_get_name(keysym, name, sizeof name);
    return name;
}

}  // namespace

std::string KeymapSource(std::uint32_t (&codes)[256]) {
    std::map<std::uint32_t, std::string> symbols;  // evdev code -> its symbols
    std::map<std::string, std::vector<std::uint32_t>> modifiers;
    std::uint32_t spare = 195;  // codes 195 to 199 are on no keyboard
    for (int v = 0; v < 256; ++v) {
        const auto vk = static_cast<std::uint8_t>(v);
        const std::uint32_t keysym = KeysymForVirtualKey(vk);
        codes[v] = 0;
        if (keysym == 0) continue;
        std::uint32_t code = UsKeyFor(vk);
        if (code == 0) code = spare++;
        if (code + 8 > 255) continue;
        codes[v] = code;
        if (symbols.count(code)) continue;  // VK_SHIFT and VK_LSHIFT share a key
        const std::uint32_t shifted = ShiftedKeysym(vk);
        std::string entry =
            shifted == 0 ? "[ " + Name(keysym) + " ]"
            : (vk >= 'A' && vk <= 'Z')
                ? "type = \"ALPHABETIC\", [ " + Name(keysym) + ", " + Name(shifted) + " ]"
                : "type = \"TWO_LEVEL\", [ " + Name(keysym) + ", " + Name(shifted) + " ]";
        symbols[code] = entry;
        const std::string name = Name(keysym);
        const char* modifier = name.starts_with("Shift")     ? "Shift"
                               : name.starts_with("Control") ? "Control"
                               : name.starts_with("Alt")     ? "Mod1"
                               : name.starts_with("Super")   ? "Mod4"
                               : name == "Num_Lock"          ? "Mod2"
                               : name == "Caps_Lock"         ? "Lock"
                                                             : nullptr;
        if (modifier) modifiers[modifier].push_back(code);
    }
    std::string text =
        "xkb_keymap {\nxkb_keycodes \"ravelkin\" {\n minimum = 8;\n maximum = 255;\n";
    for (const auto& [code, _] : symbols) {
        text += " <K" + std::to_string(code) + "> = " + std::to_string(code + 8) + ";\n";
    }
    text +=
        "};\n"
        "xkb_types \"ravelkin\" {\n"
        " type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
        " type \"TWO_LEVEL\" { modifiers = Shift; map[Shift] = Level2;\n"
        "  level_name[Level1] = \"Base\"; level_name[Level2] = \"Shift\"; };\n"
        " type \"ALPHABETIC\" { modifiers = Shift + Lock; map[Shift] = Level2; map[Lock] = "
        "Level2;\n"
        "  level_name[Level1] = \"Base\"; level_name[Level2] = \"Caps\"; };\n"
        "};\n"
        "xkb_compat \"ravelkin\" {\n"
        " interpret Caps_Lock { action = LockMods(modifiers = Lock); };\n"
        " interpret Num_Lock { action = LockMods(modifiers = Mod2); };\n"
        " interpret Any + AnyOf(all) { action = SetMods(modifiers = modMapMods, clearLocks); };\n"
        "};\n"
        "xkb_symbols \"ravelkin\" {\n";
    for (const auto& [code, entry] : symbols) {
        text += " key <K" + std::to_string(code) + "> { " + entry + " };\n";
    }
    for (const auto& [modifier, keys] : modifiers) {
        text += " modifier_map " + modifier + " {";
        for (std::size_t i = 0; i < keys.size(); ++i) {
            text += (i ? ", <K" : " <K") + std::to_string(keys[i]) + ">";
        }
        text += " };\n";
    }
    text += "};\n};\n";
    return text;
}

std::unique_ptr<VirtualKeymap> VirtualKeymap::Build(std::string& error) {
    std::unique_ptr<VirtualKeymap> map(new VirtualKeymap());
    const std::string source = KeymapSource(map->codes_);
    map->context_ = xkb_context_new(static_cast<xkb_context_flags>(
        XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (map->context_) {
        map->keymap_ = xkb_keymap_new_from_string(
            map->context_, source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (map->keymap_) map->state_ = xkb_state_new(map->keymap_);
    char* text =
        map->state_ ? xkb_keymap_get_as_string(map->keymap_, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    if (!text) {
        error = "xkbcommon refused the virtual keyboard's keymap";
        return nullptr;
    }
    map->text_ = text;
    free(text);
    return map;
}

VirtualKeymap::~VirtualKeymap() {
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

Modifiers VirtualKeymap::Update(std::uint32_t evdev_code, bool down) {
    xkb_state_update_key(state_, evdev_code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    return {xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE)};
}

}  // namespace platform::wayland
