#!/usr/bin/env bash
# Makes what a Windows lab installs from a `windows` preset build:
#   <out>/Qarvel/          the program's folder: the three programs, the Qt
#                          libraries and plug-ins they load, Qt's Chinese
#                          translations and the mingw-w64 runtime (found by
#                          following each file's imports: no windeployqt here);
#   <out>/qarvel-<version>-windows-x64.msi   per-machine, Program Files,
#                          Start-menu shortcut; a newer one replaces an older;
#   <out>/qarvel-<version>-windows-x64.zip   the same folder, to run as it is.
#
#   package.sh <build-dir> <out-dir>
# The Qt folder is $QARVEL_WINDOWS_QT, else scripts/windows/toolchain.sh --print.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
if [ $# -ne 2 ]; then
  echo "usage: $0 <build-dir> <out-dir>" >&2
  exit 2
fi
build="$(realpath "$1")"
out="$(realpath -m "$2")"
qt="${QARVEL_WINDOWS_QT:-$(bash "$here/toolchain.sh" --print)}"
# 1.0.N, N growing with every commit (cmake/Version.cmake): a newer MSI
# upgrades an older one.
version="$(cat "$build/package-version.txt")"
objdump=x86_64-w64-mingw32-objdump
# Where the libraries a file imports come from: Qt's, then the compiler's
# runtime (the -posix threads' build), then mingw-w64's own.
gcc_dir="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
search=("$qt/bin" "$gcc_dir" /usr/x86_64-w64-mingw32/lib)

stage="$out/Qarvel"
rm -rf "$stage" "$out"/qarvel-*-windows-x64.msi "$out"/qarvel-*-windows-x64.zip
mkdir -p "$stage"

for program in qarvel.exe qarvel-check.exe qarvel-results.exe; do
  found="$(find "$build/src" -name "$program" -type f | head -n 1)"
  [ -n "$found" ] || { echo "package.sh: $program not built in $build" >&2; exit 1; }
  install -m 644 "$found" "$stage/"
done
# Qt's plug-ins: the Windows platform, the native style, JPEG for the pictures.
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qjpeg.dll; do
  mkdir -p "$stage/$(dirname "$plugin")"
  install -m 644 "$qt/plugins/$plugin" "$stage/$plugin"
done

# Every library a file of the folder imports, found in the search folders, and
# what those import in turn; the system's own (KERNEL32.dll...) are not there.
find_library() {
  local name="$1" dir
  for dir in "${search[@]}"; do
    if [ -f "$dir/$name" ]; then
      echo "$dir/$name"
      return 0
    fi
  done
  return 1
}
pending=("$stage"/*.exe "$stage"/*/*.dll)
while [ ${#pending[@]} -gt 0 ]; do
  file="${pending[0]}"
  pending=("${pending[@]:1}")
  while read -r name; do
    [ -f "$stage/$name" ] && continue
    if library="$(find_library "$name")"; then
      install -m 644 "$library" "$stage/$name"
      pending+=("$stage/$name")
    fi
  done < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done

# Qt finds its plug-ins and translations beside the program, not in the
# folder it was built for.
printf '[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n' >"$stage/qt.conf"
mkdir -p "$stage/translations"
for qm in qt_zh_CN.qm qtbase_zh_CN.qm; do
  install -m 644 "/usr/share/qt6/translations/$qm" "$stage/translations/$qm"
done
install -m 644 "$root/data/qarvel.conf" "$stage/qarvel.conf.example"
install -m 644 "$root/LICENSE" "$stage/LICENSE.txt"

# The MSI: one component per file (wixl-heat), the shortcut and the upgrade rule.
# wixl takes the files' paths relative to the folder it runs in.
work="$out/msi-work"
rm -rf "$work"
mkdir -p "$work"
cp "$root/data/windows/qarvel.ico" "$work/"
(cd "$out" && find Qarvel -type f | LC_ALL=C sort) \
  | wixl-heat -p Qarvel/ --var var.SourceDir --directory-ref INSTALLDIR \
      --component-group ProgramFiles --win64 >"$work/files.wxs"
# The upgrade code names Qarvel for good: every version's MSI carries it.
cat >"$work/qarvel.wxs" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Qarvel" Language="1033" Version="$version"
           Manufacturer="The Qarvel developers"
           UpgradeCode="7A1F3C52-9B4E-4C1D-A8E6-3D5B2F0C9E71">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="Qarvel, a Chinese typing examination"/>
    <Media Id="1" Cabinet="qarvel.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of Qarvel is already installed."/>
    <Icon Id="qarvel.ico" SourceFile="msi-work/qarvel.ico"/>
    <Property Id="ARPPRODUCTICON" Value="qarvel.ico"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="Qarvel"/>
      </Directory>
      <Directory Id="ProgramMenuFolder"/>
      <Directory Id="PersonalFolder"/>
    </Directory>
    <DirectoryRef Id="ProgramMenuFolder">
      <Component Id="StartMenuShortcut" Guid="4E0B8D21-6C3A-4F57-9E12-B7A4C9D35F08" Win64="yes">
        <Shortcut Id="QarvelShortcut" Name="Qarvel" Description="Chinese typing examination"
                  Target="[INSTALLDIR]qarvel.exe" WorkingDirectory="PersonalFolder"
                  Icon="qarvel.ico"/>
        <RegistryValue Root="HKLM" Key="Software\\Qarvel" Name="StartMenuShortcut"
                       Type="integer" Value="1" KeyPath="yes"/>
      </Component>
    </DirectoryRef>
    <Feature Id="Complete" Level="1">
      <ComponentGroupRef Id="ProgramFiles"/>
      <ComponentRef Id="StartMenuShortcut"/>
    </Feature>
  </Product>
</Wix>
EOF
msi="$out/qarvel-$version-windows-x64.msi"
(cd "$out" && wixl -a x64 -D SourceDir=Qarvel -D Win64=yes -o "$msi" msi-work/qarvel.wxs msi-work/files.wxs)
rm -rf "$work"

zip="$out/qarvel-$version-windows-x64.zip"
rm -f "$zip"
(cd "$out" && cmake -E tar cf "$zip" --format=zip Qarvel)
echo "$msi ($(du -k "$msi" | cut -f1) KiB)"
echo "$zip ($(du -k "$zip" | cut -f1) KiB)"
