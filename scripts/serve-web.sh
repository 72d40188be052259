#!/usr/bin/env bash
# Serves the built page on 127.0.0.1 only, on the first free port from 8019:
#   serve-web.sh SITE-FOLDER [TOOL]
# With the Linux build's tool, the page also offers make demo's scene, rendered
# once beside the site as demo-scene.wav (the site's folder holds the site alone)
# and served as if it were in it.
set -euo pipefail
site=$1
tool=${2:-}
[ -f "$site/index.html" ] || { echo "no page in $site: run make web" >&2; exit 1; }
scene_file=$(dirname "$site")/demo-scene.wav
if [ -n "$tool" ] && [ -x "$tool" ] && [ ! -f "$scene_file" ]; then
  scene=$(mktemp -d)
  "$tool" demo --out-dir "$scene" >/dev/null && cp "$scene/in.wav" "$scene_file"
  rm -rf "$scene"
fi
exec /usr/bin/python3 - "$site" "$scene_file" <<'PY'
import functools, http.server, sys

site, scene_file = sys.argv[1:3]


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript", ".wasm": "application/wasm"}

    def translate_path(self, path):
        if path.split("?")[0] == "/demo-scene.wav":
            return scene_file
        return super().translate_path(path)


handler = functools.partial(Handler, directory=site)
for port in range(8019, 8119):
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
        break
    except OSError:
        continue
else:
    sys.exit("no free port from 8019 to 8118 on 127.0.0.1")
print(f"Brevander's page: http://127.0.0.1:{port}/  (serving {site}; Ctrl-C stops)", flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
