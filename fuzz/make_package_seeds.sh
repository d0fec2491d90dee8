#!/usr/bin/env bash
# Writes the seed corpus of fuzz_package: packages as the first byte 0x00
# and the file, metainfo files as 0x01 and the XML. The packages are made by
# the command-line tool's pack and by gcab, the metainfo with and without the
# parts the reader looks at.
#
# Usage: fuzz/make_package_seeds.sh KELVORA_CAMERA_CLI
set -euo pipefail
program=${1:?usage: make_package_seeds.sh KELVORA_CAMERA_CLI}
here=$(cd "$(dirname "$0")" && pwd)
out=$here/corpus/fuzz_package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 37 + 11) & 0xFF for i in range(600)))' >"$work/image.bin"
"$program" pack "$work/image.bin" --firmware-version 2.2.0 --date 2026-12-08 \
    --release-notes $'One.\n\nTwo.' --output "$work/pack.cab" >/dev/null
mkdir "$work/x" && (cd "$work/x" && gcab -x ../pack.cab)
(cd "$work/x" && gcab -c -z ../mszip.cab firmware.bin firmware.metainfo.xml)
(cd "$work/x" && gcab -c ../no-metainfo.cab firmware.bin)

seed() {   # name, mode byte, file
    { printf "\\x$2"; cat "$3"; } >"$out/$1"
}
seed package 00 "$work/pack.cab"
seed package_mszip 00 "$work/mszip.cab"
seed package_no_metainfo 00 "$work/no-metainfo.cab"
head -c 600 "$work/pack.cab" >"$work/cut.cab"
seed package_cut 00 "$work/cut.cab"
# The image packed is the fuzzer's fixed image, so this metainfo is accepted
# in the XML mode.
cp "$work/x/firmware.metainfo.xml" "$work/fixed.xml"
seed metainfo 01 "$work/fixed.xml"
sed 's/ filename="firmware.bin"//; s/<size type="installed">600<\/size>//' "$work/fixed.xml" >"$work/bare.xml"
seed metainfo_defaults 01 "$work/bare.xml"
sed 's/release version="2.2.0" date="2026-12-08"/release version="V2.2.0" timestamp="1796774400"/' "$work/fixed.xml" >"$work/v.xml"
seed metainfo_timestamp 01 "$work/v.xml"
printf '\x01<component type="desktop-application"><id>x</id></component>' >"$out/metainfo_not_firmware"
printf '\x01<?xml version="1.0"?><!DOCTYPE c [<!ENTITY a "aaaa">]><component type="firmware"><id>&a;</id></component>' >"$out/metainfo_entity"
