#include "engine/script_encoding.h"

#include <cstddef>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#endif

namespace {

unsigned char Byte(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char lead = Byte(text, pos);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        // Length of the sequence, and the range of its second byte, which rules out overlong
        // forms, surrogates and values above U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (text.size() - pos < length) return false;
        const unsigned char second = Byte(text, pos + 1);
        if (second < low || second > high) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if ((Byte(text, pos + i) & 0xC0) != 0x80) return false;
        }
        pos += length;
    }
    return true;
}

#ifdef _WIN32

std::optional<std::string> Cp932ToUtf8(std::string_view text) {
    constexpr UINT kCodePage = 932;
    // One character at a time, so that a byte the code page rejects costs only itself.
    std::wstring wide;
    for (std::size_t pos = 0; pos < text.size();) {
        const bool pair = IsDBCSLeadByteEx(kCodePage, Byte(text, pos)) && pos + 1 < text.size();
        const int length = pair ? 2 : 1;
        wchar_t units[2];
        const int count = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data() + pos,
                                              length, units, 2);
        if (count > 0) {
            wide.append(units, static_cast<std::size_t>(count));
            pos += static_cast<std::size_t>(length);
        } else {
            wide += L'\xFFFD';
            ++pos;
        }
    }
    if (wide.empty()) return std::string();
    const int wide_size = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(), size, nullptr,
                            nullptr) != size) {
        return std::nullopt;
    }
    return out;
}

#else

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

#endif
