# The version is written once, in the module's version block (plugin/redll.rc): the project,
# the programs' own version block and the release archives all take it from there.
set(MEDLEY_VERSION_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../plugin/redll.rc)
file(STRINGS ${MEDLEY_VERSION_SOURCE} _medley_version_lines
     REGEX "^[ \t]*(FILEVERSION|PRODUCTVERSION|VALUE \"FileVersion\"|VALUE \"ProductVersion\")")
set(_medley_fixed "")
set(_medley_text "")
foreach(line IN LISTS _medley_version_lines)
  if(line MATCHES "^[ \t]*(FILE|PRODUCT)VERSION[ \t]+([0-9]+)[ \t]*,[ \t]*([0-9]+)[ \t]*,[ \t]*([0-9]+)[ \t]*,[ \t]*([0-9]+)[ \t]*$")
    list(APPEND _medley_fixed "${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}.${CMAKE_MATCH_5}")
  elseif(line MATCHES "VALUE \"(File|Product)Version\", \"([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)\"")
    list(APPEND _medley_text "${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}.${CMAKE_MATCH_5}")
  else()
    message(FATAL_ERROR "${MEDLEY_VERSION_SOURCE}: cannot read the version from \"${line}\"")
  endif()
endforeach()
list(LENGTH _medley_fixed _medley_nfixed)
list(LENGTH _medley_text _medley_ntext)
list(REMOVE_DUPLICATES _medley_fixed)
list(REMOVE_DUPLICATES _medley_text)
list(LENGTH _medley_fixed _medley_nversions)
# Both fixed numbers and both texts, all saying the same version.
if(NOT _medley_nfixed EQUAL 2 OR NOT _medley_ntext EQUAL 2 OR NOT _medley_nversions EQUAL 1
   OR NOT _medley_fixed STREQUAL _medley_text)
  message(FATAL_ERROR "${MEDLEY_VERSION_SOURCE}: the version block does not give one version "
                      "(numbers: ${_medley_fixed}; texts: ${_medley_text})")
endif()
set(MEDLEY_VERSION ${_medley_fixed})
string(REPLACE "." "," MEDLEY_VERSION_RC "${MEDLEY_VERSION}")      # 1,0,0,11
string(REPLACE "." ", " MEDLEY_VERSION_RC_TEXT "${MEDLEY_VERSION}") # "1, 0, 0, 11"
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MEDLEY_VERSION_SOURCE})
