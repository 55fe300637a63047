// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/restore_token.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/wayland/unique_fd.h"

namespace platform::wayland::gnome {
namespace {

// A token is a short printable word; anything else in the file is not one.
bool LooksLikeToken(const std::string& token) {
    if (token.empty() || token.size() > 256) return false;
    for (const char c : token) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

}  // namespace

std::string RestoreTokenPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        folder = std::string(home) + "/.config";
    } else {
        return {};
    }
    return folder + "/ravelkin/gnome-remote-desktop.token";
}

std::string ReadRestoreToken(const std::string& path) {
    if (path.empty()) return {};
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    char buffer[300];
    const ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got <= 0) return {};
    std::string token(buffer, static_cast<std::size_t>(got));
    while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
    return LooksLikeToken(token) ? token : std::string();
}

bool WriteRestoreToken(const std::string& path, const std::string& token) {
    if (path.empty()) return false;
    if (token.empty()) return unlink(path.c_str()) == 0 || errno == ENOENT;
    if (!LooksLikeToken(token)) return false;
    const std::string folder = path.substr(0, path.rfind('/'));
    const std::string parent = folder.substr(0, folder.rfind('/'));
    mkdir(parent.c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    // Written aside and renamed, so that a run that ends midway leaves the old token whole.
    const std::string aside = path + ".new";
    {
        UniqueFd fd(open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!fd) return false;
        const std::string line = token + "\n";
        if (write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            unlink(aside.c_str());
            return false;
        }
    }
    if (std::rename(aside.c_str(), path.c_str()) != 0) {
        unlink(aside.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::wayland::gnome
