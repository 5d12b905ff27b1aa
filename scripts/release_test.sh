#!/usr/bin/env bash
# The release as a maintainer makes it: built twice, from clones in two folders one after the
# other, it must give the same bytes; signed with a throwaway certificate, the signature must
# verify and come off again leaving those bytes. The archive holds exactly its files, its
# example installer builds, and its sceneryreg.exe prints the version of version.h under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d /tmp/sceneryreg-release.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^#define SCENERYREG_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/main/version.h")
name=sceneryreg-$version-windows-x64
a=$tmp/a b=$tmp/elsewhere/b
for clone in "$a" "$b"; do
  git clone -q "$root" "$clone"
  bash "$clone/scripts/release.sh" >/dev/null
done
built=build/release-tree/build/release/src/main/sceneryreg.exe
cmp "$a/$built" "$b/$built" || fail "the two builds' sceneryreg.exe differ"
cmp "$a/dist/$name.zip" "$b/dist/$name.zip" || fail "the two archives differ"
! grep -q -a -F -e "$a" -e "$b" "$a/$built" "$b/$built" || fail "a build path is in the .exe"
sha256sum "$a/$built" "$a/dist/$name.zip" | sed "s|$tmp/||"

python3 -m zipfile -e "$a/dist/$name.zip" "$tmp/unpacked"
listed=$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' \
  "$a/dist/$name.zip")
expected="$name/sceneryreg.exe $name/README.txt $name/LICENSE.txt $name/THIRD-PARTY-NOTICES.txt"
expected+=" $name/examples/installer/demo_installer.nsi"
expected+=" $name/examples/installer/demo_product/readme.txt"
[ "$listed" = "$expected" ] || fail "the archive holds: $listed"
unpacked=$tmp/unpacked/$name
out=$(timeout 120 bash "$root/cmake/wine-run.sh" "$unpacked/sceneryreg.exe" --version </dev/null)
[ "$out" = "sceneryreg $version"$'\r' ] || fail "--version printed: $out"
makensis -V1 "$unpacked/examples/installer/demo_installer.nsi" || fail "the example does not build"

# A throwaway certificate; no timestamp server, so no network.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=sceneryreg release test" \
  -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -passout pass:throwaway \
  -out "$tmp/cert.pfx"
SCENERYREG_SIGN_PASSWORD=throwaway bash "$b/scripts/release.sh" --sign "$tmp/cert.pfx" >/dev/null
python3 -m zipfile -e "$b/dist/$name.zip" "$tmp/signed"
signed=$tmp/signed/$name/sceneryreg.exe
osslsigncode verify -CAfile "$tmp/cert.pem" -in "$signed" >"$tmp/verify" 2>&1 ||
  fail "the signature does not verify: $(tail -3 "$tmp/verify")"
grep -q "$(sha256sum <"$signed" | cut -d' ' -f1)  $name/sceneryreg.exe" "$b/dist/SHA256SUMS" ||
  fail "SHA256SUMS does not list the signed .exe"
osslsigncode remove-signature -in "$signed" -out "$tmp/unsigned.exe" >/dev/null
cmp "$tmp/unsigned.exe" "$a/$built" || fail "signing changed more than the signature"
echo "release: reproducible, signed and verified"
