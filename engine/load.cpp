// SPDX-License-Identifier: GPL-3.0-or-later
#include <new>
#include <string>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "engine/script_reader.h"

bool CEvent_Maker::Load(const char* file_name) {
    engine::Script script = engine::ReadScript(file_name);
    using Failure = engine::Script::Failure;
    if (script.failure == Failure::kNotAFile) return false;
    if (script.failure == Failure::kNoMemory) {
        trace::Printf("error: %s\n", script.failed_line.c_str());
        return false;
    }
    const std::string* current = nullptr;  // the text named when keeping it fails
    try {
        for (auto& line : script.lines) {
            current = &line.text;
            trace::Printf("COM: [%s]\n", line.text.c_str());
            m_commands.push_back(std::move(line.text));
        }
    } catch (const std::bad_alloc&) {
        // The lines kept so far stay; the load reports failure.
        trace::Printf("error: %s\n", current->c_str());
        return false;
    }
    // A read error part-way must not leave a truncated script that runs as if complete.
    if (script.failure == Failure::kReadError) return false;
    for (const auto& command : m_commands) trace::Printf("COMLIST: [%s]\n", command.c_str());
    return true;
}
