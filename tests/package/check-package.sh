#!/usr/bin/env bash
# check-package.sh <build folder> <artifacts folder>
#
# The Debian package as a lab admin meets it: built with CPack from the build
# folder, checked by lintian (no errors), put in a local apt repository made
# with apt-ftparchive and installed from it with apt without recommends (as
# the README's "rolling out to a lab" does; apt update prints no Err: or W:
# line), then used as installed:
#   - Qt's Chinese texts come with it (a dependency, not a recommendation);
#     the README and the example qarvel.conf are in /usr/share/doc/qarvel, and
#     the example, put in place as the README says, switches results on;
#   - qarvel --version, and qarvel-check on the sample and on bad files
#     (statuses and messages);
#   - the desktop entry and the AppStream metainfo validated where they lie;
#   - the installed program started under Xvfb from a folder holding
#     vexo/2.txt, and from elsewhere with --source: the login window comes, and
#     the exam window counts what qarvel-check counted; a --source that cannot
#     be opened gives the open error naming the path tried;
# then the same build as the next version (1.0.N+1) put in the repository
# reaches the machine with apt upgrade, as the README's "updating a lab" says;
# and removed again at the end (the build folder gets its version back). Needs root (or sudo without a password);
# skipped (77) without it or without one of the tools. Screenshots go to
# <artifacts>/package-*.png.
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 <build folder> <artifacts>" >&2
    exit 2
fi
build=$(realpath "$1")
artifacts=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
repository=$(realpath "$here/../..")
mkdir -p "$artifacts"

. "$here/../e2e/lib/sandbox.sh"
sandbox_name=package
sandbox_require flock cmake cpack dpkg-deb apt-ftparchive apt-get lintian desktop-file-validate appstreamcli \
    xdotool import iconv
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || { echo "package: needs root or sudo, skipping" >&2; exit 77; }
    SUDO="sudo -n"
fi
# One package check at a time on a machine: another run would install or
# remove the package under this one.
exec 9>"${TMPDIR:-/tmp}/qarvel-package-check.lock"
flock -w 900 9 || { echo "package: another package check holds the lock" >&2; exit 1; }
apt_get() {
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}

sandbox_begin package
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
installed=0
admin_conf_made=0
remove_admin_conf() {
    [ $admin_conf_made = 1 ] && $SUDO rm -f /etc/xdg/qarvel/qarvel.conf &&
        $SUDO rmdir --ignore-fail-on-non-empty /etc/xdg/qarvel && admin_conf_made=0
}
remove_package() {
    [ $installed = 1 ] && apt_get purge qarvel >"$sandbox/remove.log" 2>&1 && installed=0
}
# The build folder's own version, given back if the check built another.
own_number=$(sed -n 's/^QARVEL_BUILD_NUMBER:STRING=//p' "$build/CMakeCache.txt")
rebuilt=0
build_as() {
    cmake -DQARVEL_BUILD_NUMBER="$1" "$build" >>"$sandbox/rebuild.log" 2>&1 &&
        cmake --build "$build" --target qarvel qarvel-check qarvel-results qarvel_install_data \
            >>"$sandbox/rebuild.log" 2>&1
}
restore_build() {
    [ $rebuilt = 1 ] && build_as "$own_number" && rebuilt=0
}
trap 'qarvel_stop; remove_admin_conf; remove_package; restore_build; sandbox_cleanup' EXIT

scratch=$sandbox
shot_prefix=package
qarvel=/usr/bin/qarvel
. "$here/../e2e/lib/qarvel.sh"

# ---- Build and inspect --------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$sandbox/deb") >"$sandbox/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 5 "$sandbox/cpack.log")"
deb=$(ls "$sandbox"/deb/qarvel_*.deb 2>/dev/null | head -n 1)
[ -f "$deb" ] || fail "no package made"
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
for want in "Depends:fonts-arphic-uming | fonts-noto-cjk" "Depends:libqt6widgets6" "Depends:libjpeg" \
    "Depends:qt6-translations-l10n" "Depends:libxlsxwriter4" \
    "Recommends:fcitx5-chinese-addons" "Recommends:fcitx5-frontend-qt6 | ibus" \
    "Maintainer:@" "Description:汉字录入考试"; do
    [[ "$(field "${want%%:*}")" == *"${want#*:}"* ]] || fail "${want%%:*}: $(field "${want%%:*}")"
done
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes, Installed-Size $(field Installed-Size) KiB"

lintian --fail-on error --suppress-tags binary-has-unneeded-section "$deb" >"$sandbox/lintian.log" 2>&1 ||
    fail "lintian: $(grep -E '^E:' "$sandbox/lintian.log")"
grep -E '^[EW]:' "$sandbox/lintian.log" | sed 's/^/lintian /'

# ---- Install from a local apt repository -----------------------------------------
# The README's recipe, with apt's lists and sources kept in the sandbox: a
# folder of packages indexed by dpkg-scanpackages, a source line for it.
repo="$sandbox/repo"
mkdir -p "$repo" "$sandbox/apt-lists/partial"
# Readable by apt's own user, as /srv/qarvel-repo and apt's lists are.
chmod 755 "$sandbox"
id _apt >/dev/null 2>&1 && $SUDO chown _apt "$sandbox/apt-lists/partial"
cp "$deb" "$repo/"
# The index as the README makes it: the list of packages, and a Release that
# tells apt which lists there are (without it apt tries every compression and
# prints an Err: line for each one missing).
index_repo() {
    (cd "$repo" && apt-ftparchive packages . >Packages && apt-ftparchive release . >Release) \
        >"$sandbox/index.log" 2>&1 || fail "apt-ftparchive: $(cat "$sandbox/index.log")"
    [ ! -s "$sandbox/index.log" ] || fail "apt-ftparchive said: $(cat "$sandbox/index.log")"
}
index_repo
echo "deb [trusted=yes] file:$repo ./" >"$sandbox/qarvel.list"
local_apt=(-o Dir::Etc::sourcelist="$sandbox/qarvel.list" -o Dir::Etc::sourceparts=-
    -o Dir::State::Lists="$sandbox/apt-lists" -o APT::Get::List-Cleanup=0)
# apt update as an administrator runs it: no line that looks like a failure.
apt_update() {
    $SUDO apt-get -o DPkg::Lock::Timeout=300 "${local_apt[@]}" update >"$sandbox/update.log" 2>&1 ||
        fail "apt update from the local repository: $(tail -n 5 "$sandbox/update.log")"
    ! grep -E '^(Err|W|E):' "$sandbox/update.log" ||
        fail "apt update printed errors or warnings: $(cat "$sandbox/update.log")"
}
apt_update
installed=1
apt_get "${local_apt[@]}" install --no-install-recommends qarvel >"$sandbox/install.log" 2>&1 ||
    fail "apt install from the local repository: $(tail -n 5 "$sandbox/install.log")"
[ "$(dpkg-query -W -f '${Version}' qarvel)" = "$version" ] || fail "installed version"
dpkg-query -W -f '${Status}' qt6-translations-l10n 2>/dev/null | grep -q "install ok installed" ||
    fail "Qt's translations not installed with the package"
ls /usr/share/qt6/translations/qtbase_zh_CN.qm >/dev/null 2>&1 || fail "no qtbase_zh_CN.qm"
for doc in README.md qarvel.conf copyright; do
    [ -s "/usr/share/doc/qarvel/$doc" ] || fail "no /usr/share/doc/qarvel/$doc"
done
grep -q "Rolling out to a lab" /usr/share/doc/qarvel/README.md || fail "README without the lab recipe"
[ "$(command -v qarvel)" = /usr/bin/qarvel ] || fail "qarvel is not on PATH"
[ "$(qarvel --version)" = "qarvel $version" ] || fail "qarvel --version: $(qarvel --version)"
[ "$(qarvel-results --version)" = "qarvel-results $version" ] ||
    fail "qarvel-results --version: $(qarvel-results --version)"
# The spreadsheet writer's library came with the package.
mkdir -p "$sandbox/no-records"
(cd "$sandbox" && qarvel-results --xlsx "$sandbox/class.xlsx" "$sandbox/no-records") >/dev/null 2>&1 &&
    [ "$(head -c 2 "$sandbox/class.xlsx")" = PK ] || fail "qarvel-results --xlsx from the package"
desktop-file-validate /usr/share/applications/org.qarvel.Qarvel.desktop || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/org.qarvel.Qarvel.metainfo.xml \
    >"$sandbox/appstream.log" 2>&1 || fail "metainfo: $(cat "$sandbox/appstream.log")"
for page in qarvel qarvel-check qarvel-results; do
    man -w "$page" >/dev/null 2>&1 || fail "no man page for $page"
done
for size in 16x16 32x32 48x48 256x256 scalable; do
    ls /usr/share/icons/hicolor/$size/apps/org.qarvel.Qarvel.* >/dev/null 2>&1 || fail "no $size icon"
done

# ---- The checker, as a teacher runs it ------------------------------------------
exam="$sandbox/exam"
mkdir -p "$exam/vexo"
cp "$repository/vexo/2.txt" "$exam/vexo/2.txt"
# check <case> <status> <file or ""> <text the output holds>
check() {
    local name=$1 want=$2 file=$3 text=$4
    (cd "$exam" && exec qarvel-check ${file:+"$file"}) >"$sandbox/check.out" 2>&1
    local status=$?
    [ $status -eq "$want" ] || fail "qarvel-check $name: status $status: $(cat "$sandbox/check.out")"
    grep -qF -- "$text" "$sandbox/check.out" ||
        fail "qarvel-check $name: no \"$text\" in: $(cat "$sandbox/check.out")"
}
check "on the sample" 0 "" "结论：可以用于考试"
sample_total=$(sed -n 's/^总字数：\([0-9]*\).*/\1/p' "$sandbox/check.out")
printf '第一行\n\xf0\x9f\x98\x80 二\n' >"$sandbox/emoji.txt"
check "on an emoji" 1 "$sandbox/emoji.txt" "第 2 行：😀"
: >"$sandbox/empty.txt"
check "on an empty file" 1 "$sandbox/empty.txt" "原文是空的"
printf '\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1\0\0\0\0' >"$sandbox/exam.doc"
check "on a Word file" 1 "$sandbox/exam.doc" "Word 文档"
printf 'Hello' >"$sandbox/latin.txt"
check "on Latin text" 1 "$sandbox/latin.txt" "没有汉字"
check "on a missing file" 2 "$sandbox/none.txt" "Cannot open file \"$sandbox/none.txt\""

# ---- The installed program ----------------------------------------------------------
# From the exam folder, as a launcher with a working folder starts it.
start folder "$exam"
await_login
[ "$(value Label2)" = "$sample_total" ] || fail "exam window total $(value Label2), checker $sample_total"
import -window root "$artifacts/package-login.png"
click_exit
expect_exit

# From anywhere, with --source.
own="$sandbox/own.txt"
printf '%s\r\n%s' '秋天来了。' 'Autumn' | iconv -f UTF-8 -t GBK >"$own"
check "on --source's file" 0 "$own" "总字数：11  其中字符数：6  汉字数：5"
run=source
dump="$scratch/$run.dump"
log="$scratch/$run.log"
(cd "$sandbox" && exec env QARVEL_TEST_DUMP="$dump" qarvel --source "$own") >"$log" 2>&1 &
qarvel_pid=$!
sign_in Lin
[ "$(value Label2)/$(value Label4)/$(value Label6)" = 11/6/5 ] ||
    fail "counts from --source: $(value Label2)/$(value Label4)/$(value Label6)"
import -window root "$artifacts/package-exam-source.png"
click_close_picture
answer_ok
expect_exit

# The example settings put in place as the README says, pointed at a folder of
# the sandbox: the exam leaves its record there. Only where the machine has no
# settings of its own, which stay untouched; the file goes again at the end.
admin_conf=/etc/xdg/qarvel/qarvel.conf
if [ -e "$admin_conf" ]; then
    echo "package: $admin_conf exists, the example settings are not tried" >&2
else
    mkdir -p "$sandbox/results"
    $SUDO install -d /etc/xdg/qarvel
    admin_conf_made=1
    $SUDO install -m 644 /usr/share/doc/qarvel/qarvel.conf "$admin_conf"
    $SUDO sed -i "s|^ResultsFolder=.*|ResultsFolder=$sandbox/results|" "$admin_conf"
    start settings "$sandbox/exam"
    login Lin 7 # with records kept, a number is required
    wait_for 20 sh -c "ls '$sandbox'/results/*.json >/dev/null 2>&1" ||
        fail "the example qarvel.conf switched no results on: $(ls -A "$sandbox/results")"
    click_close_picture
    answer_ok
    expect_exit
    # The room's duration and text as the administrator sets them, the
    # program started from a folder without vexo/2.txt as the menu entry starts it.
    $SUDO sed -i "s|^#Duration=.*|Duration=00:45:00|; s|^#Source=.*|Source=$own|" "$admin_conf"
    start room "$sandbox/no-records"
    await_login
    dump_says Form2.Edit3 00:45:00 || fail "the room's duration: $(value Form2.Edit3)"
    import -window root "$artifacts/package-room-login.png"
    [ "$(value Label2)/$(value Label4)/$(value Label6)" = 11/6/5 ] ||
        fail "the room's text: $(value Label2)/$(value Label4)/$(value Label6)"
    click_exit
    expect_exit
    remove_admin_conf
fi

# A --source that cannot be opened: the exam window's open error, naming the
# path tried, before any other window.
run=missing
dump="$scratch/$run.dump"
log="$scratch/$run.log"
(cd "$sandbox" && exec env QARVEL_TEST_DUMP="$dump" qarvel --source none/2.txt) >"$log" 2>&1 &
qarvel_pid=$!
wait_for 20 dump_says windows QMessageBox || fail "no error box first: $(value windows)"
case "$(value QMessageBox.qt_msgbox_label)" in
"Cannot open file \"$sandbox/none/2.txt\". "*) ;;
*) fail "error box text: $(value QMessageBox.qt_msgbox_label)" ;;
esac
xdotool key Return
await_login
click_exit
expect_exit

# ---- An update reaches the lab ----------------------------------------------------
# The same sources built as the next version, put in the repository beside
# the installed one: apt update and apt upgrade take the machine to it.
next="${version%.*}.$((${version##*.} + 1))"
rebuilt=1
build_as "$((${version##*.} + 1))" || fail "building $next: $(tail -n 5 "$sandbox/rebuild.log")"
(cd "$build" && cpack -G DEB -B "$sandbox/deb-next") >"$sandbox/cpack-next.log" 2>&1 ||
    fail "cpack $next: $(tail -n 5 "$sandbox/cpack-next.log")"
cp "$sandbox/deb-next/qarvel_${next}_"*.deb "$repo/" || fail "no package $next made"
index_repo
apt_update
apt_get "${local_apt[@]}" upgrade >"$sandbox/upgrade.log" 2>&1 ||
    fail "apt upgrade: $(tail -n 5 "$sandbox/upgrade.log")"
[ "$(dpkg-query -W -f '${Version}' qarvel)" = "$next" ] ||
    fail "after apt upgrade: $(dpkg-query -W -f '${Version}' qarvel), not $next"
[ "$(qarvel --version)" = "qarvel $next" ] || fail "qarvel --version after the upgrade: $(qarvel --version)"
echo "upgraded $version -> $next from the local repository"
restore_build || fail "giving the build folder its version back: $(tail -n 5 "$sandbox/rebuild.log")"

# ---- Remove -------------------------------------------------------------------
remove_package || fail "apt purge: $(tail -n 5 "$sandbox/remove.log")"
[ ! -e /usr/bin/qarvel ] && [ ! -e /usr/share/applications/org.qarvel.Qarvel.desktop ] ||
    fail "files left after removal"
echo "PASS"
