# The same Windows zips from the same sources. CPack reads this file twice:
# as the project's configuration, before it installs, strips and packs the
# files, and again once it has made the zips.
if(NOT DEFINED CPACK_PACKAGE_FILES)
  # CPack dates the entries, and strip each exe's header, by
  # SOURCE_DATE_EPOCH where it is set, else by the time they run. The
  # source's time is the last commit's, else the last changelog entry's.
  # Zip entries hold local time, so the zips are made in UTC.
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(epoch STREQUAL "")
    execute_process(COMMAND git -C "${CPACK_OVU_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch STREQUAL "")
    execute_process(COMMAND dpkg-parsechangelog -l "${CPACK_OVU_SOURCE_DIR}/debian/changelog" -S Timestamp
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "No time for the zips' entries: set SOURCE_DATE_EPOCH")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  set(ENV{TZ} UTC)
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_FILE})
  return()
endif()

# CPack adds the entries in the order the file system lists them: sorted
# by name instead, as strip-nondeterminism writes them.
find_program(strip_nondeterminism strip-nondeterminism)
if(NOT strip_nondeterminism)
  message(FATAL_ERROR "strip-nondeterminism was not found: install it (scripts/deps.sh --with-windows does)")
endif()
foreach(zip ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${strip_nondeterminism} --type zip --timestamp $ENV{SOURCE_DATE_EPOCH} ${zip}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
