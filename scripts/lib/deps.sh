# SPDX-License-Identifier: GPL-3.0-or-later
# Builds dependencies from Debian's own source packages into a prefix of the cache that is
# reused once complete, for scripts/build-windows-deps and scripts/build-native-deps. Source
# common.sh first, set SOURCE_PACKAGES (the Debian source packages to fetch), then call
#
#   build_cached_prefix KIND IDENTITY STEP...
#
# which prints the prefix ${RAVELKIN_CACHE:-$HOME/.cache/ravelkin}/KIND/<key> on stdout. The
# key covers the newest versions the archive offers of SOURCE_PACKAGES, IDENTITY (what else
# the result depends on: compilers, libraries linked against) and the calling script with this
# file and DEPS_KEY_FILES. A prefix whose stamp exists (written last) is complete and reused
# at once; otherwise each STEP runs its function build_STEP, which installs into $PREFIX,
# sources below $WORK/src/<package>, builds in $WORK/build. Progress goes to stderr.
#
# Builds run under `nice -n 19` with DEPS_JOBS (2) jobs, so that other work on the machine
# keeps its pace. CMAKE_ARGS holds what cmake_install gives every CMake build (a toolchain).

BUILD_JOBS=${DEPS_JOBS:-2}
DEB_SRC_FILE=/etc/apt/sources.list.d/ravelkin-deb-src
DEPS_KEY_FILES=()
CMAKE_ARGS=()

say() { echo "$*" >&2; }

# Apt's source entries that are in use: sources.list and the .list/.sources files beside it.
apt_source_files() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
    do
        [ -f "$f" ] && echo "$f"
    done
    return 0
}

# Adds deb-src entries mirroring the Debian archive entries already configured, unless there
# are some, and refreshes the package lists when source packages are unknown to apt.
enable_deb_src() {
    local files
    mapfile -t files < <(apt_source_files)
    if [ ${#files[@]} -eq 0 ]; then
        say "apt has no sources configured"
        exit 1
    fi
    if ! grep -qsE '^[[:space:]]*(Types:.*\bdeb-src\b|deb-src[[:space:]])' "${files[@]}"; then
        say "Adding deb-src entries for Debian's archive"
        local one_line deb822
        # One-line format: "deb URI SUITE..." becomes "deb-src URI SUITE...".
        one_line=$(grep -hE '^[[:space:]]*deb[[:space:]].*debian' "${files[@]}" \
            | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' || true)
        # deb822 format: each stanza of Types: deb on a Debian archive, as Types: deb-src.
        deb822=$(for f in "${files[@]}"; do if [[ $f == *.sources ]]; then cat "$f"; echo; fi; done \
            | awk 'function flush() {
                       if (deb && debian) printf "%s\n", stanza
                       stanza = ""; deb = 0; debian = 0
                   }
                   /^[[:space:]]*$/ { flush(); next }
                   /^Types:/ { deb = $0 ~ /[[:space:]]deb([[:space:]]|$)/; $0 = "Types: deb-src" }
                   /^URIs:/ && /debian/ { debian = 1 }
                   { stanza = stanza $0 "\n" }
                   END { flush() }')
        [ -n "$one_line" ] && echo "$one_line" | as_root tee "$DEB_SRC_FILE.list" >/dev/null
        [ -n "$deb822" ] && echo "$deb822" | as_root tee "$DEB_SRC_FILE.sources" >/dev/null
        if [ -z "$one_line$deb822" ]; then
            say "No Debian archive entry in apt's sources to mirror for deb-src"
            exit 1
        fi
        as_root apt-get update -qq >&2
    elif [ -z "$(apt-cache showsrc "${SOURCE_PACKAGES[0]}" 2>/dev/null)" ]; then
        as_root apt-get update -qq >&2
    fi
}

# Versions of a source package that the archive offers, newest first.
source_versions() {
    apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ { print $2 }' \
        | sort -u | sort -rV
}

installed_version() {
    dpkg-query -W -f='${Version}' "$1"
}

# fetch_source PACKAGE DIR: unpacks the newest source of PACKAGE that can be downloaded (with
# Debian's patches) below DIR, prints the version taken. A mirror may list a version whose
# files it does not carry (yet); then the next older one is taken.
fetch_source() {
    local package=$1 dir=$2 version
    mkdir -p "$dir"
    while read -r version; do
        if (cd "$dir" && apt-get source -qq "$package=$version" >>"$LOGS/$package-source.log" 2>&1)
        then
            echo "$version"
            return 0
        fi
        say "  $package $version: source not available, trying an older version"
        rm -rf "${dir:?}"/*
    done < <(source_versions "$package")
    say "No source of $package could be fetched; see $LOGS/$package-source.log"
    exit 1
}

# The unpacked source tree below DIR.
source_tree() {
    find "$1" -mindepth 1 -maxdepth 1 -type d | head -1
}

# logged NAME COMMAND...: runs a build command niced, its output to the log NAME; shows the
# end of the log when it fails.
logged() {
    local name=$1
    shift
    if ! nice -n 19 "$@" >>"$LOGS/$name.log" 2>&1; then
        tail -40 "$LOGS/$name.log" >&2
        say "$name failed; the whole log is $LOGS/$name.log"
        exit 1
    fi
}

# cmake_install NAME SOURCE_DIR [cmake args...]: configures, builds and installs into the prefix.
cmake_install() {
    local name=$1 source=$2 build=$WORK/build/$1
    shift 2
    logged "$name" cmake -S "$source" -B "$build" -G Ninja "${CMAKE_ARGS[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DCMAKE_PREFIX_PATH="$PREFIX" "$@"
    logged "$name" cmake --build "$build" -j "$BUILD_JOBS"
    logged "$name" cmake --install "$build"
}

# opencv_install [cmake args...]: OpenCV's core, imgproc and imgcodecs with the BMP and PNG
# codecs only, static, from the source of the package opencv; the arguments say where libpng
# and zlib are.
opencv_install() {
    local off=() option
    # Everything beyond the three modules and the BMP and PNG codecs.
    for option in JPEG TIFF WEBP OPENJPEG JASPER OPENEXR GDAL GDCM IMGCODEC_HDR \
        IMGCODEC_SUNRASTER IMGCODEC_PXM IMGCODEC_PFM IPP OPENCL OPENCLAMDFFT OPENCLAMDBLAS VA \
        VA_INTEL LAPACK EIGEN PROTOBUF ADE QUIRC FFMPEG GSTREAMER DSHOW MSMF 1394 VTK GTK \
        WIN32UI DIRECTX OPENGL TBB OPENMP CUDA ONNX TIMVX CAROTENE OPENVX HALIDE INF_ENGINE \
        NGRAPH CLP OBSENSOR FLATBUFFERS ITT; do
        off+=("-DWITH_$option=OFF")
    done
    cmake_install opencv "$(source_tree "$WORK/src/opencv")" "${off[@]}" \
        -DBUILD_LIST=core,imgproc,imgcodecs -DBUILD_SHARED_LIBS=OFF \
        -DWITH_PNG=ON -DBUILD_PNG=OFF -DBUILD_ZLIB=OFF \
        -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
        -DBUILD_opencv_apps=OFF -DBUILD_JAVA=OFF -DBUILD_opencv_python2=OFF \
        -DBUILD_opencv_python3=OFF -DBUILD_opencv_world=OFF -DCV_TRACE=OFF \
        -DOPENCV_GENERATE_SETUPVARS=OFF -DINSTALL_CREATE_DISTRIB=OFF \
        -DOPENCV_DLLVERSION= -DOPENCV_DEBUG_POSTFIX= "$@"
}

# step NAME: runs build_NAME and reports the minutes it took.
step() {
    local start end minutes
    start=$(date +%s.%N)
    say "== $1"
    "build_$1"
    end=$(date +%s.%N)
    minutes=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) / 60 }')
    say "   $1: $minutes min"
    echo "$1 $minutes min" >>"$STATE/times.txt"
}

# build_cached_prefix KIND IDENTITY STEP...: see the top of this file.
build_cached_prefix() {
    local kind=$1 identity="" cache package version versions="" key newest
    shift
    cache=${RAVELKIN_CACHE:-$HOME/.cache/ravelkin}/$kind
    enable_deb_src

    for package in "${SOURCE_PACKAGES[@]}"; do
        newest=$(source_versions "$package" | head -1)
        if [ -z "$newest" ]; then
            say "apt knows no source package $package"
            exit 1
        fi
        identity+="$package=$newest"$'\n'
    done
    identity+=$1
    shift
    identity+="script=$(cat "$0" "${BASH_SOURCE[0]}" "${DEPS_KEY_FILES[@]}" | sha256sum | cut -c1-16)"$'\n'
    key=$(echo -n "$identity" | sha256sum | cut -c1-16)
    PREFIX=$cache/$key
    STATE=$PREFIX/share/ravelkin-$kind
    local stamp=$STATE/complete

    mkdir -p "$cache"
    # One build at a time per cache; a second caller waits and then finds the prefix complete.
    exec 9>"$cache/lock"
    flock 9

    if [ -f "$stamp" ]; then
        say "$kind: reusing $PREFIX"
        echo "$PREFIX"
        return 0
    fi

    say "Building $kind into $PREFIX"
    WORK=$cache/work-$key
    LOGS=$WORK/logs
    rm -rf "$PREFIX" "$WORK"
    mkdir -p "$LOGS" "$STATE"

    for package in "${SOURCE_PACKAGES[@]}"; do
        version=$(fetch_source "$package" "$WORK/src/$package")
        versions+="$package $version"$'\n'
    done
    for package in "$@"; do
        step "$package"
    done

    echo -n "$versions$identity" >"$STATE/versions.txt"
    cp -r "$LOGS" "$STATE/"
    rm -rf "$WORK"
    echo "$identity" >"$stamp"
    say "$kind complete: $PREFIX ($(du -sh "$PREFIX" | cut -f1))"
    echo "$PREFIX"
}
