// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/command_table.h"
#include "engine/commands.h"
#include "input/send_keys.h"
#include "input/typing_table.h"

namespace engine {

int RunStr(RunContext& run, Command, const CommandLine& line) {
    // The text is the line after "STR" and its space: exactly the argument text.
    run.log.append("文字列入力:").append(line.args).append("\n");
    return input::TypeText(run.desktop, line.args, run.type_spaces);
}

// Names each character of the text that no key types, once.
void CheckStr(CheckContext& check, Command, const CommandLine& line) {
    const std::string_view text = line.args;
    std::string skipped;
    bool lower = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // A character of several bytes is skipped whole: none of its bytes is in the table.
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        const std::string_view character = text.substr(i, length);  // shorter at the end
        i += length;
        if (length == 1 && input::TypingStroke(byte, true).count > 0) continue;
        lower = lower || (byte >= 'a' && byte <= 'z');
        if (skipped.find(Quoted(character)) == std::string::npos) {
            skipped += (skipped.empty() ? "" : " ") + Quoted(character);
        }
    }
    if (skipped.empty()) return;
    check.Warning("STR does not type " + skipped +
                  (lower ? " (letters are typed as written in capitals, and arrive in lower case)"
                         : " (it types A-Z, 0-9, space and - ? ! , . /)"));
}

namespace {

struct KeyCommand {
    const char* label;
    input::KeyAction action;
};

KeyCommand KeyCommandOf(Command command) {
    switch (command) {
        case Command::kOpeOn:
            return {"コマンドON: ", input::KeyAction::kPress};
        case Command::kOpeOff:
            return {"コマンドOFF: ", input::KeyAction::kRelease};
        default:
            return {"コマンド: ", input::KeyAction::kTap};
    }
}

std::string KeyNames() {
    std::string names;
    for (const KeyEntry& key : kKeyTable)
        names += (names.empty() ? "" : " ") + std::string(key.name);
    return names;
}

}  // namespace

int RunOpe(RunContext& run, Command command, const CommandLine& line) {
    const KeyCommand key = KeyCommandOf(command);
    // Logged before the key is looked up: a text without a key name fails after its line.
    run.log.append(key.label).append(line.args).append("\n");
    const KeyEntry* named = FindKeyName(line.args);
    if (!named) return kFailed;
    input::SendKey(run.desktop, named->vk, key.action);
    return kKeySent;
}

void CheckOpe(CheckContext& check, Command command, const CommandLine& line) {
    const KeyEntry* named = FindKeyName(line.args);
    if (!named) {
        return check.Error(std::string(line.keyword) + ": no key name in " + Quoted(line.args) +
                           "; the names are " + KeyNames());
    }
    if (command == Command::kOpeOn) check.Hold(std::string(named->name));
    if (command == Command::kOpeOff) check.Release(std::string(named->name));
}

}  // namespace engine
