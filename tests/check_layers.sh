#!/usr/bin/env bash
# The layers point one way (src/CMakeLists.txt): engine core <- engine
# control <- shell <- one library per subsystem <- app. Lists every #include
# in src that points up or sideways and fails when there is one:
#   engine/core  includes no Qt and nothing outside engine/core;
#   engine       includes nothing of shell, the subsystems or app;
#   shell        includes nothing of the subsystems or app;
#   a subsystem  includes no other subsystem and nothing of app.
# Usage: check_layers.sh SRC_DIR | check_layers.sh --self-test
set -euo pipefail

layer_of() {  # a path relative to src; sets $layer (no subshell: this runs per include)
    case $1 in
    engine/core/*) layer=core ;;
    engine/*) layer=engine ;;
    shell/*) layer=shell ;;
    app/* | main.cpp) layer=app ;;
    */*) layer="sub:${1%%/*}" ;;
    *) layer=app ;;
    esac
}

allowed() {  # from-layer to-layer
    local from=$1 to=$2
    [ "$from" = "$to" ] && return 0
    case $from in
    core) return 1 ;;
    engine) [ "$to" = core ] ;;
    shell) [ "$to" = core ] || [ "$to" = engine ] ;;
    app) return 0 ;;
    sub:*) [ "$to" = core ] || [ "$to" = engine ] || [ "$to" = shell ] ;;
    esac
}

check() {
    local src faults=0 f rel from dir line inc target trel to layer
    src=$(cd "$1" && pwd)
    while IFS= read -r -d '' f; do
        rel=${f#"$src"/}
        layer_of "$rel"
        from=$layer
        dir=${f%/*}
        while IFS= read -r line; do
            if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*|qt[^>]*)[/\>] ]]; then
                if [ "$from" = core ]; then
                    echo "$rel: the engine core includes Qt: $line"
                    faults=$((faults + 1))
                fi
                continue
            fi
            [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
            inc=${BASH_REMATCH[1]}
            if [ -e "$dir/$inc" ]; then
                target=$dir/$inc
                [[ $inc == *..* ]] && target=$(realpath -m "$target")
            elif [ -e "$src/$inc" ]; then
                target=$src/$inc
            else
                echo "$rel: includes \"$inc\", which is not in src"
                faults=$((faults + 1))
                continue
            fi
            case $target in
            "$src"/*) trel=${target#"$src"/} ;;
            *)
                echo "$rel: includes \"$inc\" from outside src"
                faults=$((faults + 1))
                continue
                ;;
            esac
            layer_of "$trel"
            to=$layer
            if ! allowed "$from" "$to"; then
                echo "$rel: $from includes $to: $line"
                faults=$((faults + 1))
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$f" || true)
    done < <(find "$src" \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
    if [ "$faults" -gt 0 ]; then
        echo "$faults include(s) against the layers"
        return 1
    fi
    echo "layers: every include points down"
}

self_test() {
    local t
    t=$(mktemp -d)
    trap 'rm -rf "$t"' RETURN
    mkdir -p "$t/engine/core" "$t/engine" "$t/shell" "$t/files" "$t/view" "$t/app"
    printf '#pragma once\n' > "$t/engine/core/a.h"
    printf '#include "a.h"\n#include <vector>\n' > "$t/engine/core/b.cpp"
    printf '#include "engine/core/a.h"\n#include <QWidget>\n' > "$t/engine/c.h"
    printf '#include "engine/c.h"\n' > "$t/shell/s.h"
    printf '#include "shell/s.h"\n' > "$t/files/f.h"
    printf '#include "shell/s.h"\n#include "../engine/c.h"\n' > "$t/view/v.cpp"
    printf '#include "files/f.h"\n#include "view/v.cpp"\n' > "$t/app/m.cpp"
    check "$t" > /dev/null || { echo "self-test: a clean tree was refused"; return 1; }
    local bad
    for bad in 'engine/core/b.cpp:#include <QString>' 'engine/core/b.cpp:#include "../c.h"' \
        'engine/c.h:#include "shell/s.h"' 'shell/s.h:#include "files/f.h"' 'view/v.cpp:#include "files/f.h"' \
        'view/v.cpp:#include "../files/f.h"' 'files/f.h:#include "app/m.cpp"'; do
        local file=${bad%%:*} line=${bad#*:}
        cp "$t/$file" "$t/$file.keep"
        echo "$line" >> "$t/$file"
        if check "$t" > /dev/null; then
            echo "self-test: not caught: $file: $line"
            return 1
        fi
        mv "$t/$file.keep" "$t/$file"
    done
    echo "self-test: every planted fault was caught"
}

if [ "${1:-}" = --self-test ]; then
    self_test
else
    check "${1:-$(dirname "$0")/../src}"
fi
