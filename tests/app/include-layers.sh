#!/usr/bin/env bash
# Every include of the engine points down: a file includes headers of its own
# folder and of the layers below it only, and no two modules include each
# other from their sources or from their headers (a header may build on the
# interface that the other module's source implements through it); only
# platform/ includes its sub-folders' headers. The standing pairs listed go
# when their modules are reworked.
# Usage: include-layers.sh SOURCE_ROOT
cd "$1" || exit 2
layers="platform system files Ximage X2d X3d parts app"
standing="X2d/X2d X2d/X2dspr"
for dir in $layers; do grep -o '^#include "[^"]*\.h"' "$dir"/*.h "$dir"/*.cpp $([ "$dir" = platform ] && ls platform/*/*.h platform/*/*.cpp); done | awk -v layers="$layers" -v standing="$standing" '
    BEGIN { n = split(layers, l, " "); for (i = 1; i <= n; i++) rank[l[i]] = i; split(standing, s, ",") }
    {
        split($0, p, ":"); folder = p[1]; sub("/[^/]*$", "", folder); dir = folder; sub("/.*", "", dir); module = p[1]; sub("[.][^.]*$", "", module)
        kind = p[1]; sub(".*[.]", "", kind)
        header = p[2]; gsub(/^#include "|[.]h"$/, "", header); if (header !~ "/") header = folder "/" header
        above = header; sub("/.*", "", above)
        if (rank[above] > rank[dir]) { print p[1] " includes " header ".h from a layer above it"; bad = 1 }
        if (dir != "platform" && header ~ "^platform/[^/]+/") { print p[1] " includes " header ".h, the platform'"'"'s own"; bad = 1 }
        if (header != module) include[module " " header " " kind] = 1
    }
    END {
        for (e in include) {
            split(e, m, " ")
            if (m[1] < m[2] && (m[2] " " m[1] " " m[3]) in include) loop[m[1] " " m[2]] = 1
        }
        for (k in s) if (s[k] in loop) delete loop[s[k]]; else { print "no longer a standing pair: " s[k]; bad = 1 }
        for (pair in loop) { split(pair, m, " "); print m[1] " and " m[2] " include each other"; bad = 1 }
        exit bad
    }'
