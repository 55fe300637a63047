// SPDX-License-Identifier: GPL-3.0-or-later
#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "platform/code_page.h"

namespace platform {
namespace {

// An iconv conversion descriptor, closed with its owner.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view text) {
    const Iconv converter("UTF-8", "CP932");
    if (!converter.ok()) return std::nullopt;

    // iconv takes a non-const input pointer but only reads through it.
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    std::string out;
    char chunk[1024];
    for (;;) {
        char* to = chunk;
        std::size_t to_left = sizeof chunk;
        const std::size_t result = iconv(converter.get(), &in, &in_left, &to, &to_left);
        const int error = errno;
        out.append(chunk, static_cast<std::size_t>(to - chunk));
        if (result != static_cast<std::size_t>(-1)) break;
        if (error == E2BIG) continue;
        // EILSEQ: no character of the code page starts here; EINVAL: a lead byte cut off at
        // the end. Either way the byte becomes U+FFFD and the next one is tried.
        out += "\xEF\xBF\xBD";
        ++in;
        --in_left;
    }
    return out;
}

}  // namespace platform
