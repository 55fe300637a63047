// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/virtual_input.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "protocol/virtual-keyboard-unstable-v1-client.h"
#include "protocol/wlr-virtual-pointer-unstable-v1-client.h"

namespace platform::wayland {
namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::uint32_t kSeatHasBoth = WL_SEAT_CAPABILITY_POINTER | WL_SEAT_CAPABILITY_KEYBOARD;
// How long clients are given to take a seat's new pointer and keyboard: a client that asks
// later misses the first events, so this allows for a loaded machine.
constexpr std::int64_t kClientsTakeDevicesMs = 1000;

}  // namespace

std::unique_ptr<VirtualInput> VirtualInput::Create(Connection& connection, std::string& error) {
    std::unique_ptr<VirtualInput> input(new VirtualInput(connection));
    input->started_ms_ = SteadyMs();
    input->keymap_ = VirtualKeymap::Build(error);
    if (!input->keymap_) return nullptr;
    const std::string& text = input->keymap_->Text();
    const int fd = memfd_create("ravelkin-keymap", MFD_CLOEXEC);
    if (fd < 0 ||
        write(fd, text.c_str(), text.size() + 1) != static_cast<ssize_t>(text.size() + 1)) {
        if (fd >= 0) close(fd);
        error = std::string("cannot hand the keymap to the compositor: ") + std::strerror(errno);
        return nullptr;
    }
    const std::uint32_t had = connection.seat_capabilities();
    input->pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(
        connection.pointer_manager(), connection.seat());
    input->keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        connection.keyboard_manager(), connection.seat());
    zwp_virtual_keyboard_v1_keymap(input->keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(text.size() + 1));
    close(fd);
    // A seat that had no pointer or keyboard says when it gets ours; one that had both tells
    // nothing, and a round trip is all we can wait for.
    if (!connection.Roundtrip()) {
        error = *connection.Lost();
        return nullptr;
    }
    const bool had_both = (had & kSeatHasBoth) == kSeatHasBoth;
    const std::int64_t deadline = SteadyMs() + 2000;
    while ((connection.seat_capabilities() & kSeatHasBoth) != kSeatHasBoth &&
           SteadyMs() < deadline) {
        if (!connection.DispatchFor(50)) {
            error = *connection.Lost();
            return nullptr;
        }
    }
    if ((connection.seat_capabilities() & kSeatHasBoth) != kSeatHasBoth) {
        error = "the compositor did not give the seat our virtual pointer and keyboard";
        return nullptr;
    }
    // On a seat that had no pointer or keyboard (a headless one), each client asks for them
    // only once told the seat has them; events sent before that reach no client.
    const std::int64_t settled = SteadyMs() + kClientsTakeDevicesMs;
    while (!had_both && SteadyMs() < settled) {
        if (!connection.DispatchFor(static_cast<int>(settled - SteadyMs()))) {
            error = *connection.Lost();
            return nullptr;
        }
    }
    return input;
}

VirtualInput::~VirtualInput() {
    if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
    if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
    connection_.Roundtrip();
}

std::uint32_t VirtualInput::Now() const {
    return static_cast<std::uint32_t>(SteadyMs() - started_ms_);
}

void VirtualInput::Move(Point to, Rect box) {
    // Absolute motion spans the whole layout: the extent is the layout box.
    const auto width = static_cast<std::uint32_t>(box.right - box.left);
    const auto height = static_cast<std::uint32_t>(box.bottom - box.top);
    if (width == 0 || height == 0) return;
    zwlr_virtual_pointer_v1_motion_absolute(
        pointer_, Now(), static_cast<std::uint32_t>(to.x - box.left),
        static_cast<std::uint32_t>(to.y - box.top), width, height);
    zwlr_virtual_pointer_v1_frame(pointer_);
    connection_.Roundtrip();
}

void VirtualInput::Press(Button button, bool down) {
    zwlr_virtual_pointer_v1_button(
        pointer_, Now(), button == Button::kLeft ? BTN_LEFT : BTN_RIGHT,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer_);
    connection_.Roundtrip();
}

bool VirtualInput::Key(std::uint8_t vk, bool down) {
    const std::uint32_t code = keymap_->CodeFor(vk);
    if (code == 0) return false;
    zwp_virtual_keyboard_v1_key(
        keyboard_, Now(), code,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    const Modifiers now = keymap_->Update(code, down);
    if (!(now == modifiers_)) {
        modifiers_ = now;
        zwp_virtual_keyboard_v1_modifiers(keyboard_, now.depressed, now.latched, now.locked,
                                          now.group);
    }
    connection_.Roundtrip();
    return true;
}

}  // namespace platform::wayland
