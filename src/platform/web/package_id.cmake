# Run after the page is linked. The file packager writes a random id of the
# packaged bitmaps into ovu.js at every link, which only its preload cache
# (not used here) compares; an id made from the data's hash serves as well
# and is the same in every build.
#   cmake -DPAGE_JS=ovu.js -DPAGE_DATA=ovu.data -P package_id.cmake
file(SHA256 "${PAGE_DATA}" hash)
string(REGEX REPLACE "^(........)(....)(....)(....)(............).*$" "\\1-\\2-\\3-\\4-\\5" id "${hash}")
set(pattern "\"package_uuid\": *\"[0-9a-f-]+\"")
file(READ "${PAGE_JS}" js)
string(REGEX MATCHALL "${pattern}" found "${js}")
list(LENGTH found count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "${PAGE_JS} holds ${count} package ids, not one")
endif()
string(REGEX REPLACE "${pattern}" "\"package_uuid\":\"${id}\"" js "${js}")
file(WRITE "${PAGE_JS}" "${js}")
