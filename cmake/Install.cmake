# What `cmake --install` puts where; the Debian package (debian/) installs
# the same. The entries that start the program (menu, screensaver hosts) and
# the man page name the installed data directory, which is only known at
# install time (`--prefix`), so they are filled in then. Included by the
# top-level CMakeLists.txt.

include(GNUInstallDirs)

if(EMSCRIPTEN)
  # The page is served from its build directory (scripts/web.sh); nothing is installed.
  return()
endif()

if(WIN32)
  # One folder holds everything: ovu.scr reads the bitmaps from its own
  # folder. CPack zips it as ovu-VERSION-win64.zip or ovu-VERSION-win32.zip.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(OVU_WINDOWS_SYSTEM win64)
    set(OVU_WINDOWS_BUILD 64-bit)
    set(OVU_WINDOWS_NEEDS "a 64-bit Windows Vista or later")
  else()
    set(OVU_WINDOWS_SYSTEM win32)
    set(OVU_WINDOWS_BUILD 32-bit)
    set(OVU_WINDOWS_NEEDS "Windows Vista or later, 32- or 64-bit, and a processor with SSE2")
  endif()
  # CR LF, for the Notepad of older Windows.
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows-readme.txt.in ${CMAKE_BINARY_DIR}/dist/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/dist/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  # The exes carry winpthreads, linked in statically, whose licences ask for their notices.
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows-notices.txt ${CMAKE_BINARY_DIR}/dist/NOTICES.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS ovu ovu_scr RUNTIME DESTINATION .)
  install(FILES ${OVU_BITMAPS} ${CMAKE_BINARY_DIR}/ovu.ico ${CMAKE_BINARY_DIR}/dist/README.txt
                ${CMAKE_BINARY_DIR}/dist/LICENSE.txt ${CMAKE_BINARY_DIR}/dist/NOTICES.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME ovu)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_SYSTEM_NAME ${OVU_WINDOWS_SYSTEM})
  set(CPACK_STRIP_FILES ON)
  # The same zip from the same sources (ReproducibleZip.cmake).
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/ReproducibleZip.cmake)
  set(CPACK_OVU_SOURCE_DIR ${CMAKE_SOURCE_DIR})
  include(CPack)
  return()
endif()

install(TARGETS ovu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Screensaver hosts such as mate-screensaver run only programs found in
# xscreensaver's directory of display modes. A link, not a copy: the program
# finds its bitmaps from its real path, which /proc names through the link.
set(xscreensaver_dir ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
file(RELATIVE_PATH ovu_from_xscreensaver_dir /${xscreensaver_dir} /${CMAKE_INSTALL_BINDIR}/ovu)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/dist/libexec)
file(CREATE_LINK ${ovu_from_xscreensaver_dir} ${CMAKE_BINARY_DIR}/dist/libexec/ovu SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/dist/libexec/ovu DESTINATION ${xscreensaver_dir})
install(FILES ${OVU_BITMAPS} DESTINATION ${CMAKE_INSTALL_DATADIR}/ovu)

set(dist ${CMAKE_BINARY_DIR}/dist)
# Runs before the install(FILES) below, which take what it wrote.
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(OVU_VERSION \"${PROJECT_VERSION}\")
  set(OVU_BIN_DIR \"\${prefix}/${CMAKE_INSTALL_BINDIR}\")
  set(OVU_DATA_DIR \"\${prefix}/${CMAKE_INSTALL_DATADIR}/ovu\")
  set(OVU_APPLICATIONS_DIR \"\${prefix}/${CMAKE_INSTALL_DATADIR}/applications\")
  set(OVU_XSCREENSAVER_CONFIG \"\${prefix}/${CMAKE_INSTALL_DATADIR}/xscreensaver/config/ovu.xml\")
  foreach(name ovu.6 ovu.xml ovu.desktop ovu-screensaver.desktop)
    configure_file(\"${CMAKE_SOURCE_DIR}/dist/\${name}.in\" \"${dist}/\${name}\" @ONLY)
  endforeach()
  # -n: no name or time stamp inside, so the package is the same every time.
  execute_process(COMMAND gzip -9nf \"${dist}/ovu.6\" COMMAND_ERROR_IS_FATAL ANY)
")
install(FILES ${dist}/ovu.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${dist}/ovu.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/ovu-screensaver.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers
        RENAME ovu.desktop)
# Where xscreensaver's settings look for the options of each screensaver.
install(FILES ${dist}/ovu.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
# The icon both desktop entries name, in the theme every desktop falls back to,
# and the description software centres show, named by its AppStream id.
foreach(size ${OVU_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/ovu-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ovu.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/dist/ovu.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME example.c_seed_4a522560.ovu.metainfo.xml)
