# Tests of the web build (the page in headless Chromium). Included by CMakeLists.txt.
