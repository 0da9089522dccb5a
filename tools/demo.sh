#!/usr/bin/env bash
# The main job: builds the plug-in and the renderer, then delivers a generated
# drums-and-bass signal through the plug-in (loaded through its entry point,
# as a host does) as an Opus stream at the streaming target (-14 LUFS,
# -1 dBTP), decoded and verified, and prints the passes, the encodings and the
# loudness report; out/demo-master.json is the same report for scripts. Files
# land in out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ci/install-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "${JOBS:-2}" --target QDXZelvo qdx-render >/dev/null
mkdir -p out
build/qdx-render --demo --rate 48000 --target streaming --report out/demo-master.json "$@" out/demo-master.opus
echo "Report   out/demo-master.json"

# A picture of the editor processing the demo signal, when the screenshot tool is built.
if cmake --build build -j "${JOBS:-2}" --target qdx-screenshot >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x1024x24" build/qdx-screenshot out/demo-master-input.wav out/editor.png &&
    echo "Editor screenshot: out/editor.png"
fi
