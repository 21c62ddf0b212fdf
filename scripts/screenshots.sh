#!/usr/bin/env bash
# Renders the main window on the built-in simulator, in Chinese and English, without a display,
# to docs/screenshots/main_zh.png and main_en.png.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build/default}

# The Chinese captions need a CJK font; Debian's WenQuanYi Micro Hei also covers the Latin text.
if ! fc-list 2>/dev/null | grep -qi "WenQuanYi Micro Hei\|Noto Sans CJK"; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends fonts-wqy-microhei
fi

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake --preset default >/dev/null
fi
cmake --build "$BUILD_DIR" --target app_screenshot -j "${JOBS:-2}"
QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96 "$BUILD_DIR/tests/app/app_screenshot" docs/screenshots
