#!/usr/bin/env bash
# Builds a WoW64 Wine (one 64-bit Wine that also runs 32-bit Windows programs, with no 32-bit
# Linux code) from Debian 13's wine 10.0 source package, so the i686 build can run where the
# kernel cannot execute 32-bit x86 Linux programs. Run by hand, as root; it takes long (see the
# README, "Two builds"), so no test or build command ever starts it.
#   scripts/build-wine-wow64.sh
# The result goes to a cache folder outside the checkout, keyed by the source version and the
# configure line: ${ZARVIK_WINE_DIR:-~/.cache/zarvik-wine}/<version>-<key>/ (bin/wine, bin/wineserver).
# scripts/machine.sh finds it there. Prints the build's wall time and installed size, and the
# folder on its last line.
#
# Only a Debian 13 ("trixie") *source* entry is used, in an apt configuration of its own; no trixie binary
# package is installed. The build dependencies come from Debian 12's packages. The source package
# leaves out every generated file (configure, the NLS tables, the OpenGL and Vulkan thunks, the
# fonts and icons), so they are generated here first, as Debian's own build does.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${ZARVIK_WINE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zarvik-wine}
jobs=${ZARVIK_WINE_JOBS:-2}
log() { echo "[wine-wow64] $*" >&2; }

if [ "$(id -u)" -ne 0 ]; then log "run as root (apt-get)"; exit 1; fi
if [ "$(uname -m)" != x86_64 ]; then log "a WoW64 Wine is built on x86-64 only"; exit 1; fi

# What the generators and configure need, and the X11 and font libraries our tests use (windows,
# GDI, fonts). Nothing for sound, video, printing, scanners, network directories, Vulkan or
# OpenGL: the client and its tests use none of them.
packages=(
  gcc make autoconf flex bison gettext libgettextpo-dev pkgconf perl libxml-libxml-perl unzip dpkg-dev
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  unicode-data unicode-idna unicode-cldr-core khronos-api libvulkan-dev
  icoutils librsvg2-bin imagemagick fontforge-nox
  libx11-dev libxext-dev libxrender-dev libxrandr-dev libxi-dev libxcursor-dev libxfixes-dev
  libxcomposite-dev libxinerama-dev libxkbfile-dev libfreetype-dev libfontconfig-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The Debian 13 ("trixie") source entry lives in an apt configuration of this script's own (its
# own source list and package lists under the cache), never in /etc/apt: there it would make every
# other `apt-get source` (the dependency build's among them) take trixie's versions.
apt_dir=${ZARVIK_WINE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zarvik-wine}/apt
mkdir -p "$apt_dir/lists/partial"
rm -f /etc/apt/sources.list.d/zarvik-deb-src-trixie.sources  # left by an earlier version
echo 'deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main' \
  >"$apt_dir/sources.list"
trixie_apt=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/none"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
apt-get "${trixie_apt[@]}" update -q >/dev/null
if [ ${#missing[@]} -gt 0 ]; then apt-get update -q >/dev/null; fi
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

# The newest 10.0 source the archive offers (or ZARVIK_WINE_SOURCE_VERSION).
version=${ZARVIK_WINE_SOURCE_VERSION:-$(apt-cache "${trixie_apt[@]}" showsrc wine 2>/dev/null \
  | sed -n 's/^Version: //p' | grep '^10\.0' | sort -V | tail -n 1)}
if [ -z "$version" ]; then
  log "no wine 10.0 source package found (the trixie source list in $apt_dir)"
  exit 1
fi

# Modules no test of ours loads: the many versioned copies of the same runtime and D3DX
# libraries, script engines, media players and the desktop applets (with everything importing
# them). Left out, they shorten the build by about a third. The Vulkan loader needs a newer
# Vulkan registry than Debian 12 has (VK_EXT_map_memory_placed), and nothing of ours uses Vulkan.
disabled=(
  d3dx9_* d3dx10_* d3dx11_* d3dcompiler_3* d3dcompiler_4[0-6] d3d10 d3d12 d3d12core d3d8 d3d8thk
  d3dim d3dim700 d3drm d3dxof ddrawex dmusic dmusic32
  msvcirt msvcm80 msvcm90 msvcp[0-9]* msvcr[0-9]* msvcrt20 msvcrt40 concrt140 vcomp*
  x3daudio* xapofx* xaudio2_* xinput*
  jscript vbscript msxml2 msxml4 msxml6 wmp wmphoto wmvcore qasf
  mf3216 mfasfsrcsnk mfh264enc mfmediaengine mfmp4srcsnk mfplay mfsrcsnk
  iexplore notepad winemine winhlp32 wordpad write
  winevulkan vulkan-1
)
configure_args=(
  --enable-archs=i386,x86_64 --disable-tests --with-mingw
  --without-alsa --without-capi --without-cups --without-dbus --without-ffmpeg --without-gphoto
  --without-gnutls --without-gssapi --without-gstreamer --without-krb5 --without-netapi
  --without-opencl --without-opengl --without-osmesa --without-oss --without-pcap
  --without-pcsclite --without-pulse --without-sane --without-sdl --without-udev --without-unwind
  --without-usb --without-v4l2 --without-vulkan --without-wayland
  ZLIB_PE_LIBS=z
)
key=$(printf '%s\n' "${configure_args[@]}" "${disabled[@]}" | sha256sum | cut -c1-10)
prefix=$cache/$version-$key
stamp=$prefix/.complete
if [ -f "$stamp" ]; then log "already built"; echo "$prefix"; exit 0; fi
mkdir -p "$cache"
exec 9>"$prefix.lock"
flock 9
if [ -f "$stamp" ]; then log "already built"; echo "$prefix"; exit 0; fi

start=$(date +%s)
work=$cache/build-$version-$key
src=$work/src
log "wine $version, WoW64 (i386 and x86_64), into $prefix; building in $work"
# The build takes hours on a busy machine: a run that was stopped goes on from where make was.
if [ -f "$work/.configured" ] && [ "$(cat "$work/.configured")" = "$key" ] && [ -f "$src/Makefile" ]; then
  log "going on with the configured tree in $work"
  cd "$src"
else
# (Not indented up to the matching "fi": the block holds here-documents.)
rm -rf "$work"; mkdir -p "$work"
(cd "$work" && apt-get "${trixie_apt[@]}" source --download-only -q "wine=$version" >/dev/null 2>&1) \
  || { log "apt-get source wine=$version failed"; exit 1; }
(cd "$work" && dpkg-source -x ./*.dsc src >/dev/null)
cd "$src"

log "generating the files the source package leaves out"
# Debian 12's CLDR lacks some rarely used locales (newer releases took them in from their seed
# set): those get an identity of their own and inherit everything else from their parent.
python3 - tools/make_unicode <<'PY'
import sys
path = sys.argv[1]
text = open(path).read()
old = '        my $xml = load_xml_data_file( "cldr", $file );\n'
new = '''        my $xml;
        if (-f $data_files{cldr}->{url} . "/" . $file)
        {
            $xml = load_xml_data_file( "cldr", $file );
        }
        else
        {
            my ($lang) = split /-/, $loc->{name};
            $xml = XML::LibXML->load_xml( string => "<ldml><identity><language type=\\"$lang\\"/></identity></ldml>" );
        }
'''
if text.count(old) != 1:
    sys.exit("make_unicode: the locale loader is not where it was expected")
open(path, "w").write(text.replace(old, new))
PY
./tools/make_unicode >"$work/generate.log" 2>&1
./tools/make_requests >>"$work/generate.log" 2>&1
./tools/make_specfiles >>"$work/generate.log" 2>&1
(cd dlls/dsound && ./make_fir >>"$work/generate.log" 2>&1)
(cd dlls/opengl32 && ./make_opengl >>"$work/generate.log" 2>&1)
(cd dlls/winevulkan && ./make_vulkan -x /usr/share/vulkan/registry/vk.xml \
  -X /usr/share/vulkan/registry/video.xml >>"$work/generate.log" 2>&1)
ln -sf /usr/share/misc/config.sub tools/config.sub
ln -sf /usr/share/misc/config.guess tools/config.guess
# The icons the source package keeps as SVG only (the same links as Debian's build makes).
while read -r target link; do ln -sf "$target" "$link"; done <<'LINKS'
../../dlls/user32/resources/oic_hand.svg dlls/display.drv16/oic_hand.svg
../../dlls/user32/resources/oic_note.svg dlls/comctl32/idi_tt_info_md.svg
../../dlls/user32/resources/oic_note.svg dlls/comctl32/idi_tt_info_sm.svg
../../dlls/user32/resources/oic_bang.svg dlls/comctl32/idi_tt_warn_md.svg
../../dlls/user32/resources/oic_bang.svg dlls/comctl32/idi_tt_warn_sm.svg
../../dlls/user32/resources/oic_hand.svg dlls/comctl32/idi_tt_error_md.svg
../../dlls/user32/resources/oic_hand.svg dlls/comctl32/idi_tt_error_sm.svg
../../dlls/shell32/resources/move.svg dlls/comctl32/idi_dragarrow.svg
../../dlls/shell32/resources/image.svg programs/regedit/bin.svg
../../dlls/shell32/resources/folder.svg programs/regedit/folder.svg
../../dlls/shell32/resources/document.svg programs/regedit/string.svg
../../dlls/shell32/resources/mycomputer.svg programs/regedit/computer.svg
../../dlls/shell32/resources/folder_open.svg programs/regedit/folderopen.svg
../../dlls/shell32/resources/window.svg programs/taskmgr/window.svg
../../dlls/shell32/resources/window.svg programs/taskmgr/windowsm.svg
../../dlls/shell32/resources/drive.svg dlls/comdlg32/hdisk.svg
../../dlls/shell32/resources/folder.svg dlls/comdlg32/folder.svg
../../dlls/shell32/resources/network.svg dlls/comdlg32/network.svg
../../dlls/shell32/resources/folder_open.svg dlls/comdlg32/folder2.svg
../../dlls/shell32/resources/disk_drive.svg dlls/comdlg32/floppy.svg
../../dlls/shell32/resources/optical_drive.svg dlls/comdlg32/cdrom.svg
LINKS
rm -rf libs/zlib  # MinGW's zlib (libz-mingw-w64-dev) instead, as Debian builds it
autoreconf -f >>"$work/generate.log" 2>&1 || { tail -20 "$work/generate.log" >&2; exit 1; }

disable_args=()
for pattern in "${disabled[@]}"; do
  for dir in dlls/$pattern programs/$pattern; do
    [ -f "$dir/Makefile.in" ] && disable_args+=("--disable-${dir##*/}")
  done
done
log "configure ${configure_args[*]} (and ${#disable_args[@]} modules left out)"
# In the source tree: the rules that make the icons and fonts (maintainer mode) need it there.
"$src/configure" --prefix="$prefix" --enable-maintainer-mode "${configure_args[@]}" \
  "${disable_args[@]}" >"$work/configure.log" 2>&1 \
  || { tail -30 "$work/configure.log" >&2; exit 1; }
echo "$key" >"$work/.configured"
fi
log "make -j$jobs (nice 19; the log is $work/make.log)"
# mshtml includes a header that jscript's build generates, and only jscript's own rules ask for it:
# with jscript left out, make it first.
nice -n 19 make dlls/jscript/jsdisp.h >>"$work/make.log" 2>&1 || { tail -20 "$work/make.log" >&2; exit 1; }
nice -n 19 make -j"$jobs" >>"$work/make.log" 2>&1 || { tail -40 "$work/make.log" >&2; exit 1; }
rm -rf "$prefix"
nice -n 19 make install-lib >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
# Only what runs programs: no headers, manuals or development tools; the Unix side stripped.
rm -rf "$prefix/include" "$prefix/share/man" "$prefix/share/applications"
find "$prefix/lib/wine/x86_64-unix" -name '*.so' -exec strip --strip-unneeded {} + 2>/dev/null || true
strip --strip-unneeded "$prefix/bin/wine" "$prefix/bin/wineserver" "$prefix/bin/wine-preloader" \
  2>/dev/null || true
printf '%s\n' "$version" "${configure_args[@]}" "${disable_args[@]}" >"$prefix/build-info.txt"
end=$(date +%s)
size=$(du -sh "$prefix" | cut -f1)
echo "wall time $((end - start)) s, installed size $size" >>"$prefix/build-info.txt"
touch "$stamp"
cd /
rm -rf "$work"
log "built in $(((end - start) / 60)) min $(((end - start) % 60)) s; installed size $size"
echo "$prefix"
