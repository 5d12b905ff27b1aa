#!/usr/bin/env bash
# The .exe as installers meet it: its version resource and manifest, then the example installer
# built with makensis and run silently under Wine as a deployment tool would: install, install
# again, uninstall. Nothing may wait, and the installer's exit code is sceneryreg's.
source "$(dirname "$0")/script_lib.sh" "$@"
version=$(sed -n 's/^#define SCENERYREG_VERSION_TEXT "\(.*\)"$/\1/p' "$here/../src/main/version.h")
holds "the version resource carries the version --version prints" \
  eval '[ "$(strings -el "$prog" | grep -A1 -x ProductVersion | tail -1)" = "$version" ]'
holds "the manifest asks for no elevation" eval 'strings "$prog" | grep -q "level=\"asInvoker\""'
sample="$here/../examples/scenery.cfg"
mkdir "$tmp/sim" && cp "$sample" "$tmp/sim/scenery.cfg"
# /D= takes no quotes, so the product folder has no blank in it.
sim=$(winpath "$tmp/sim") product=$(winpath "$tmp/Demo")
installs() {  # installs NAME CODE COMMAND...: COMMAND ends by itself with exit code CODE
  timeout 120 $emu "${@:3}" </dev/null >"$tmp/out" 2>&1
  local rc=$?; check "$1: exit $2" "$([ "$rc" = "$2" ]; echo $?)" "exit $rc"
}
makensis -V2 -DSCENERYREG_EXE="$prog" -DOUTFILE="$tmp/demo_setup.exe" \
  "$here/../examples/installer/demo_installer.nsi" >"$tmp/out" 2>&1
check "makensis builds the example" $? "$(tail -3 "$tmp/out")"
installs "install" 0 "$tmp/demo_setup.exe" /S "/SIM=$sim" "/D=$product"
holds "install: the library holds the section" \
  cmp -s "$tmp/sim/scenery.cfg" <(cat "$sample"; section 013 13 "Demo Harbour Scenery" "$product")
# A trailing separator on the simulator folder must not break the tool's command line.
installs "second install: already registered" 10 \
  "$tmp/demo_setup.exe" /S "/SIM=$sim$SEP" "/D=$product"
# Asked with --dry-run before anything is copied: the product registered in another folder, or
# no library at all, stops the install with nothing copied.
elsewhere=$(winpath "$tmp/Elsewhere")
installs "install elsewhere: registered in another folder" 12 \
  "$tmp/demo_setup.exe" /S "/SIM=$sim" "/D=$elsewhere"
holds "install elsewhere: nothing copied" [ ! -e "$tmp/Elsewhere" ]
installs "install without a library" 15 \
  "$tmp/demo_setup.exe" /S "/SIM=$sim$SEP"none "/D=$elsewhere"
holds "install without a library: nothing copied" [ ! -e "$tmp/Elsewhere" ]
installs "uninstall" 0 "$tmp/Demo/uninstall.exe" /S "_?=$product"
holds "uninstall: the library as before, with the CR LF pair of the cut" \
  cmp -s "$tmp/sim/scenery.cfg" <(cat "$sample"; printf '\r\n\r\n')
finish installer
