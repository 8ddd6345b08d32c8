# Shared build helpers.

# Header-only libraries from the distribution, exposed through a private folder of links so
# that the Windows cross-builds never see the host's /usr/include.
set(MEDLEY_THIRDPARTY ${CMAKE_BINARY_DIR}/thirdparty)
file(MAKE_DIRECTORY ${MEDLEY_THIRDPARTY})
foreach(entry CLI stb rapidxml rapidxml.hpp rapidxml_utils.hpp rapidxml_print.hpp rapidxml_iterators.hpp)
  if(EXISTS /usr/include/${entry} AND NOT EXISTS ${MEDLEY_THIRDPARTY}/${entry})
    file(CREATE_LINK /usr/include/${entry} ${MEDLEY_THIRDPARTY}/${entry} SYMBOLIC)
  endif()
endforeach()
add_library(thirdparty INTERFACE)
target_include_directories(thirdparty SYSTEM INTERFACE ${MEDLEY_THIRDPARTY} ${MEDLEY_THIRDPARTY}/stb)

# win32: what library code links to reach the Win32 API — the real system libraries on
# Windows, our compat layer elsewhere.
add_library(win32 INTERFACE)
if(WIN32)
  target_link_libraries(win32 INTERFACE kernel32 user32 gdi32 advapi32 shell32 comdlg32
                        version winmm ws2_32 ole32 shlwapi)
else()
  target_link_libraries(win32 INTERFACE compat)
endif()

# medley_stand_in(<target> <windows name> <linux name> SOURCES ... [DEF file])
# A shared library standing in for one of the closed libraries.
function(medley_stand_in target winname linuxname)
  cmake_parse_arguments(A "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${A_SOURCES})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
                                            $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/platform/include>)
  target_link_libraries(${target} PUBLIC win32 PRIVATE thirdparty fileio ${A_LIBS})
  if(WIN32)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${winname} PREFIX "" SUFFIX ".dll"
                          IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
    if(A_DEF)
      target_sources(${target} PRIVATE ${A_DEF})
    endif()
  else()
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${linuxname})
  endif()
endfunction()

# medley_test(<area> [LIBS ...] [SOURCES ...]): one test program per area, from
# tests/<area>/*.cpp, or from the SOURCES given.
function(medley_test area)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  if(A_SOURCES)
    set(srcs ${A_SOURCES})
  else()
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp)
  endif()
  if(NOT srcs)
    return()
  endif()
  set(t test_${area})
  add_executable(${t} ${srcs})
  target_include_directories(${t} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${t} PRIVATE medley_testkit ${A_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${area} COMMAND ${t} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${area} PROPERTIES ENVIRONMENT "MEDLEY_SOURCE_DIR=${CMAKE_SOURCE_DIR};MEDLEY_BIN_DIR=${CMAKE_BINARY_DIR}/bin;MEDLEY_GTEST=1")
endfunction()

# Gives a program the medleystudio version block: compiled into it on Windows, embedded and
# published through compat's resource table elsewhere.
function(medley_app_version target)
  set(dir ${CMAKE_SOURCE_DIR}/tools/version)
  set(rc ${CMAKE_BINARY_DIR}/tools/version/app.rc)
  configure_file(${dir}/app.rc.in ${rc} @ONLY)
  if(WIN32)
    target_sources(${target} PRIVATE ${rc})
    return()
  endif()
  set(res ${CMAKE_BINARY_DIR}/tools/version/app.res)
  if(NOT TARGET medley_app_res)
    find_program(WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres windres REQUIRED)
    add_custom_command(
      OUTPUT ${res}
      COMMAND ${WINDRES} -i ${rc} -O res -o ${res}
      DEPENDS ${rc}
      COMMENT "Compiling the programs' version block")
    add_custom_target(medley_app_res DEPENDS ${res})
  endif()
  set_source_files_properties(${dir}/app_res.S PROPERTIES
    COMPILE_DEFINITIONS "APP_RES_FILE=\"${res}\"" OBJECT_DEPENDS ${res})
  target_sources(${target} PRIVATE ${dir}/app_res.S ${dir}/app_res.cpp)
  add_dependencies(${target} medley_app_res)
endfunction()
