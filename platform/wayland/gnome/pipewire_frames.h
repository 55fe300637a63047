// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/wayland/unique_fd.h"

namespace platform::wayland::gnome {

// Where blue, green and red lie in a pixel of four bytes.
struct ChannelOffsets {
    int blue = 0, green = 1, red = 2;
    bool operator==(const ChannelOffsets&) const = default;
};

// The offsets of a raw video format of SPA's (BGRx, RGBA, xRGB, ...); false for any format
// without four bytes a pixel of blue, green and red.
bool ChannelsOfVideoFormat(std::uint32_t spa_format, ChannelOffsets& channels);

// One picture of the monitor, as PipeWire brought it, rows top-down.
struct Frame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;  // bytes from a row to the next
    ChannelOffsets channels;
    std::vector<std::uint8_t> bytes;
};

// Copies the frame's pixels of the area whose top-left corner is (left, top) into out, black
// where the area lies outside the frame. A whole frame in blue-green-red-pad order is lent,
// not copied. False for an empty area or when the memory cannot be had.
bool CopyFrameArea(const std::shared_ptr<const Frame>& frame, std::int32_t left, std::int32_t top,
                   std::int32_t width, std::int32_t height, Bitmap& out);

// The video stream of one PipeWire node, read on a thread of its own: the monitor's pictures,
// of which only the newest is kept. The compositor sends a picture only when the screen has
// changed, so the newest one is the screen as it is now.
class PipeWireFrames {
  public:
    // Reads the node through the connection the portal gave (taken over); null, saying why,
    // where PipeWire refuses it.
    static std::unique_ptr<PipeWireFrames> Open(UniqueFd remote, std::uint32_t node,
                                                std::string& error);
    ~PipeWireFrames();
    PipeWireFrames(const PipeWireFrames&) = delete;
    PipeWireFrames& operator=(const PipeWireFrames&) = delete;

    // The newest picture, waiting up to wait for the first one; null, saying why, where none
    // came or the stream has ended.
    std::shared_ptr<const Frame> Newest(std::chrono::milliseconds wait, std::string& error);

    struct Impl;

  private:
    explicit PipeWireFrames(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::wayland::gnome
