// SPDX-License-Identifier: GPL-3.0-or-later
// What LeakSanitizer reports inside the GTK stack that the dialog brings in: fontconfig's and
// pango's font caches, the D-Bus connection of the accessibility bridge and the strings it
// keeps, all held by those libraries for the life of the process. The allocations are theirs
// alone (our code calls neither glib nor fontconfig); compiled only into sanitised builds.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libglib-2.0.so\n";
}
