#!/bin/sh
# bundle_selvo.sh SELVO FOLDER: this build's selvo with every library it
# links and the dynamic loader, so the same binary runs inside the Debian
# roots of newer Blenders whatever libraries they hold. FOLDER/selvo starts it.
set -eu
selvo=$1
out=$2
rm -rf "$out.new"
mkdir -p "$out.new/lib"
cp "$selvo" "$out.new/selvo.bin"
# "libpng16.so.16 => /lib/x86_64-linux-gnu/libpng16.so.16 (0x...)" and the
# loader's own line, "/lib64/ld-linux-x86-64.so.2 (0x...)".
ldd "$selvo" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }' |
  while read -r library; do cp -L "$library" "$out.new/lib/"; done
loader=$(cd "$out.new/lib" && ls ld-linux*)
cat >"$out.new/selvo" <<SCRIPT
#!/bin/sh
here=\$(dirname "\$(readlink -f "\$0")")
exec "\$here/lib/$loader" --library-path "\$here/lib" "\$here/selvo.bin" "\$@"
SCRIPT
chmod +x "$out.new/selvo"
rm -rf "$out"
mv "$out.new" "$out"
