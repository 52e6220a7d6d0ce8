# Tests of the web build: the page in headless Chromium, driven through
# selenium and the system chromedriver, against the native release build of
# the same tree. It must be built first (scripts/test.sh does), and its runs
# need an X server (xvfb-run). Included by CMakeLists.txt.

set(OVU_REFERENCE_OVU "" CACHE FILEPATH "The native ovu the page is compared with")
# Debian's own python3, which has python3-pil and python3-selenium.
find_program(OVU_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(OVU_CHROMEDRIVER chromedriver)
if(NOT OVU_PYTHON OR NOT OVU_CHROMEDRIVER)
  message(STATUS "The page's tests are left out: they need python3 and chromedriver (chromium-driver)")
  return()
endif()

foreach(concern frames keys display refusals input replay)
  add_test(NAME WebPage.${concern} COMMAND ${OVU_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/web_page_test.py
                                           ${CMAKE_BINARY_DIR} ${OVU_REFERENCE_OVU} WebPage.test_${concern})
  # One browser at a time: each is a software GPU of its own.
  set_tests_properties(WebPage.${concern} PROPERTIES RESOURCE_LOCK chromium TIMEOUT 600)
endforeach()
