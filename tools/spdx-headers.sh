#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Starts every tracked source, script and build file that lacks them with the two lines naming its
# copyright and licence: after the #! line of a script, in the file's own comment syntax. Files
# that cannot carry a comment are covered by .reuse/dep5 instead. Running it again changes
# nothing. Usage: tools/spdx-headers.sh (from anywhere in the repository)
set -euo pipefail
cd "$(git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --show-toplevel)"

# Spelt in two parts, so that reuse does not take them for this script's own lines.
spdx="SPDX"
copyright="$spdx-FileCopyrightText: 2026 Velmora"
licence="$spdx-License-Identifier: GPL-3.0-or-later"

# comment_of FILE: the comment leader of its language, or nothing for a file left alone.
comment_of() {
    case "$1" in
    *.cpp | *.h) echo "//" ;;
    *.sh | *.cmake | CMakeLists.txt | */CMakeLists.txt) echo "#" ;;
    *)
        case "$(head -n 1 "$1" | tr -d '\0')" in
        '#!'*sh | '#!'*sh' '* | '#!'*python3) echo "#" ;;
        esac
        ;;
    esac
}

changed=0
while IFS= read -r -d '' file; do
    if [ ! -f "$file" ] || [ -L "$file" ]; then continue; fi
    leader=$(comment_of "$file")
    [ -n "$leader" ] || continue
    [ "$(head -n 5 "$file" | grep -c "$spdx-License-Identifier:")" -eq 0 ] || continue
    # The header goes after a #! line; a blank line parts it from what follows.
    skip=0
    case "$(head -n 1 "$file")" in '#!'*) skip=1 ;; esac
    next=$(sed -n "$((skip + 1))p" "$file")
    {
        head -n "$skip" "$file"
        printf '%s %s\n%s %s\n' "$leader" "$copyright" "$leader" "$licence"
        [ -z "$next" ] || echo
        tail -n +"$((skip + 1))" "$file"
    } >"$file.spdx-tmp"
    chmod --reference="$file" "$file.spdx-tmp"
    mv "$file.spdx-tmp" "$file"
    echo "$file"
    changed=$((changed + 1))
done < <(git ls-files -z)
echo "headers added to $changed files" >&2
