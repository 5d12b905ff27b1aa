#!/usr/bin/env bash
# Builds the Windows release from the committed tree (HEAD, not the working files) and writes
#   dist/sceneryreg-VERSION-windows-x64.zip  and  dist/SHA256SUMS
# Two runs on the same commit give the same bytes, in any folder and at any time: the PE header
# carries no link time, the objects no build path, and the archive its entries in a fixed order
# with the commit's time (SOURCE_DATE_EPOCH).
#
#   scripts/release.sh [--sign CERT.pfx]
# --sign adds an Authenticode signature to sceneryreg.exe before the archive and the checksums
# are made. The certificate's password is read from SCENERYREG_SIGN_PASSWORD; a timestamp server
# is asked only when SCENERYREG_SIGN_TIMESTAMP names one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

cert=
if [ "${1:-}" = --sign ] && [ $# -eq 2 ]; then
  cert=$(realpath "$2")
  : "${SCENERYREG_SIGN_PASSWORD?--sign needs the certificate password in SCENERYREG_SIGN_PASSWORD}"
elif [ $# -ne 0 ]; then
  echo "usage: scripts/release.sh [--sign CERT.pfx]" >&2
  exit 2
fi

# The tree is exported afresh for each commit; a second run on the same commit (to sign what
# was built, say) reuses its build. Remove build/release-tree to force a new one.
tree=$root/build/release-tree
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
if [ "$(cat "$tree/built-commit" 2>/dev/null)" != "$commit" ]; then
  rm -rf "$tree" && mkdir -p "$tree"
  git archive HEAD | tar -x -C "$tree"
  (cd "$tree" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
  echo "$commit" >"$tree/built-commit"
fi
version=$(sed -n 's/^#define SCENERYREG_VERSION_TEXT "\(.*\)"$/\1/p' "$tree/src/main/version.h")
[ -n "$version" ] || { echo "no SCENERYREG_VERSION_TEXT in src/main/version.h" >&2; exit 1; }
name=sceneryreg-$version-windows-x64
exe=$tree/build/release/src/main/sceneryreg.exe

if [ -n "$cert" ]; then
  # The signature goes into the certificate table at the end of the same bytes.
  rm -f "$exe.signed"
  osslsigncode sign -pkcs12 "$cert" -readpass <(printf '%s' "$SCENERYREG_SIGN_PASSWORD") \
    -h sha256 -n sceneryreg ${SCENERYREG_SIGN_TIMESTAMP:+-ts "$SCENERYREG_SIGN_TIMESTAMP"} \
    -in "$exe" -out "$exe.signed" >/dev/null
  exe=$exe.signed
fi

sed "s/@VERSION@/$version/g" "$tree/scripts/release-README.txt" >"$tree/build/README.txt"
rm -rf dist && mkdir dist
# Text files get CR LF, for the editors of the system they are read on.
python3 - "dist/$name.zip" "$name/" "$SOURCE_DATE_EPOCH" \
  sceneryreg.exe "$exe" \
  README.txt "$tree/build/README.txt" \
  LICENSE.txt "$tree/LICENSE" \
  THIRD-PARTY-NOTICES.txt "$tree/THIRD-PARTY-NOTICES.txt" \
  examples/installer/demo_installer.nsi "$tree/examples/installer/demo_installer.nsi" \
  examples/installer/demo_product/readme.txt "$tree/examples/installer/demo_product/readme.txt" \
  <<'EOF'
import sys, time, zipfile
out, folder, epoch, pairs = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
# Zip times are local times with a two-second grain: the commit's time in UTC, and no earlier
# than the format's 1980.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(out, "w") as archive:
    for name, path in zip(pairs[0::2], pairs[1::2]):
        data = open(path, "rb").read()
        if not name.endswith(".exe"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        info = zipfile.ZipInfo(folder + name, stamp)
        info.external_attr = (0o755 if name.endswith(".exe") else 0o644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compresslevel=9)
EOF
{
  (cd dist && sha256sum "$name.zip")
  echo "$(sha256sum <"$exe" | cut -d' ' -f1)  $name/sceneryreg.exe"
} >dist/SHA256SUMS
cat dist/SHA256SUMS
