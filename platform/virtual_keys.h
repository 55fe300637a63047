// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The program's key vocabulary: Windows virtual-key codes. Every backend translates them.
namespace platform::vk {

constexpr std::uint8_t kLButton = 0x01;
constexpr std::uint8_t kRButton = 0x02;
constexpr std::uint8_t kMButton = 0x04;
constexpr std::uint8_t kBack = 0x08;
constexpr std::uint8_t kTab = 0x09;
constexpr std::uint8_t kReturn = 0x0D;
constexpr std::uint8_t kShift = 0x10;
constexpr std::uint8_t kControl = 0x11;
constexpr std::uint8_t kMenu = 0x12;
constexpr std::uint8_t kEscape = 0x1B;
constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kLeft = 0x25;
constexpr std::uint8_t kUp = 0x26;
constexpr std::uint8_t kRight = 0x27;
constexpr std::uint8_t kDown = 0x28;
constexpr std::uint8_t kSnapshot = 0x2C;
constexpr std::uint8_t kDelete = 0x2E;
constexpr std::uint8_t kLWin = 0x5B;
constexpr std::uint8_t kRWin = 0x5C;
constexpr std::uint8_t kSeparator = 0x6C;
constexpr std::uint8_t kSubtract = 0x6D;
constexpr std::uint8_t kDecimal = 0x6E;
constexpr std::uint8_t kDivide = 0x6F;
// The modifiers' sides, as a watch of the user's keys tells them apart.
constexpr std::uint8_t kLShift = 0xA0;
constexpr std::uint8_t kRShift = 0xA1;
constexpr std::uint8_t kLControl = 0xA2;
constexpr std::uint8_t kRControl = 0xA3;
constexpr std::uint8_t kLMenu = 0xA4;
constexpr std::uint8_t kRMenu = 0xA5;
// The punctuation keys of ',' and '/' (Shift: '?'), where the US and Japanese layouts agree.
constexpr std::uint8_t kOemComma = 0xBC;
constexpr std::uint8_t kOem2 = 0xBF;

}  // namespace platform::vk
