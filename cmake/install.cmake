# What `cmake --install` puts where, the libbase CMake package and the release archives.
#
#   bin/                     medley; on Windows also the stand-in DLLs and the UI folder
#   bin/plugins/redll.pll    Windows: the module, in a plug-in folder beside the programs
#   lib/medley/plugins/      elsewhere: the module
#   lib/                     libbase.a (static), the libraries it links, the stand-ins (Linux:
#                            shared objects, Windows: import libraries) and compat (Linux)
#   lib/cmake/libbase/       the CMake package: find_package(libbase CONFIG)
#   include/libbase/         the base library's public headers and the platform headers they
#                            include; Linux: win32/ holds the Win32 headers they need
#   share/doc/redll/         README.md
#
# The base library is static, as the module carries it: every plug-in links its own copy, with
# its own frame store and resource provider, and exports nothing but its entry point.  A shared
# libbase would put one frame store under every plug-in of the process.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(MEDLEY_PLUGIN_DIR ${CMAKE_INSTALL_BINDIR}/plugins)
else()
  set(MEDLEY_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR}/medley/plugins)
endif()
set(MEDLEY_HEADER_DIR ${CMAKE_INSTALL_INCLUDEDIR}/libbase)
set(MEDLEY_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/libbase)

# Programs and modules find the shared objects of the install through paths relative to
# themselves, never through the build tree.
if(NOT WIN32)
  file(RELATIVE_PATH to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(medley PROPERTIES INSTALL_RPATH "$ORIGIN/${to_lib}")
  file(RELATIVE_PATH to_lib /${MEDLEY_PLUGIN_DIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(redll PROPERTIES INSTALL_RPATH "$ORIGIN/${to_lib}")
endif()

# medley loads the module from the plug-in folder when none is beside it.
file(RELATIVE_PATH plugins_from_bin /${CMAKE_INSTALL_BINDIR} /${MEDLEY_PLUGIN_DIR})
set_source_files_properties(${CMAKE_SOURCE_DIR}/tools/medley/main.cpp DIRECTORY ${CMAKE_SOURCE_DIR}/tools
                            PROPERTIES COMPILE_DEFINITIONS "MEDLEY_INSTALLED_PLUGIN_DIR=\"${plugins_from_bin}\"")

install(TARGETS medley RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS redll LIBRARY DESTINATION ${MEDLEY_PLUGIN_DIR} RUNTIME DESTINATION ${MEDLEY_PLUGIN_DIR})
if(TARGET ui_pictures)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/UI DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The library and everything its users link: the package's targets, libbase::<name>.
set(libbase_exported libbase fileio gifcodec platform_headers win32)
foreach(lib compat pixkit skuilib skui mdoc albumcore)
  if(TARGET ${lib})
    list(APPEND libbase_exported ${lib})
  endif()
endforeach()
target_include_directories(libbase INTERFACE $<INSTALL_INTERFACE:${MEDLEY_HEADER_DIR}>)
target_include_directories(platform_headers INTERFACE $<INSTALL_INTERFACE:${MEDLEY_HEADER_DIR}>)
target_include_directories(fileio INTERFACE $<INSTALL_INTERFACE:${MEDLEY_HEADER_DIR}>)
if(TARGET compat)
  target_include_directories(compat INTERFACE $<INSTALL_INTERFACE:${MEDLEY_HEADER_DIR}/win32>)
endif()
target_compile_features(libbase INTERFACE cxx_std_17)
if(MEDLEY_SANITIZE)
  # Objects built with the sanitizers link only with their runtimes.
  target_link_options(libbase INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
endif()
install(TARGETS ${libbase_exported} EXPORT libbaseTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

# Public headers: libbase/inc, the platform headers they include and, off Windows, the Win32
# headers of compat that those need (compat's other headers — its extensions, test hooks and
# the parts no public header reaches — stay out).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/libbase/inc/ DESTINATION ${MEDLEY_HEADER_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/platform/include/albumcore.h ${CMAKE_SOURCE_DIR}/platform/include/fileio.h
              ${CMAKE_SOURCE_DIR}/platform/include/mdoc.h ${CMAKE_SOURCE_DIR}/platform/include/platform_api.h
              ${CMAKE_SOURCE_DIR}/platform/include/skuilib.h
        DESTINATION ${MEDLEY_HEADER_DIR})
if(TARGET compat)
  install(FILES ${CMAKE_SOURCE_DIR}/compat/include/windows.h ${CMAKE_SOURCE_DIR}/compat/include/winsock2.h
          DESTINATION ${MEDLEY_HEADER_DIR}/win32)
  set(compat_public dc file gdi kernel memory profile registry resource shell system types user)
  list(TRANSFORM compat_public PREPEND ${CMAKE_SOURCE_DIR}/compat/include/compat/)
  list(TRANSFORM compat_public APPEND .h)
  install(FILES ${compat_public} DESTINATION ${MEDLEY_HEADER_DIR}/win32/compat)
endif()

install(EXPORT libbaseTargets NAMESPACE libbase:: DESTINATION ${MEDLEY_PACKAGE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/libbaseConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/package/libbaseConfig.cmake
                              INSTALL_DESTINATION ${MEDLEY_PACKAGE_DIR})
# Same major version; a package built for another pointer size is passed over.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/libbaseConfigVersion.cmake
                                 VERSION ${MEDLEY_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/libbaseConfig.cmake ${CMAKE_BINARY_DIR}/package/libbaseConfigVersion.cmake
        DESTINATION ${MEDLEY_PACKAGE_DIR})

# Release archives: cpack -G ZIP in the Windows builds, -G TGZ or DEB in the native one.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MEDLEY_PACKAGE_SYSTEM win64)
  else()
    set(MEDLEY_PACKAGE_SYSTEM win32)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" MEDLEY_PACKAGE_SYSTEM)
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_NAME redll)
set(CPACK_PACKAGE_VENDOR zelkova)
set(CPACK_PACKAGE_VERSION ${MEDLEY_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The redll.pll resource module, the medley tool and the base library")
set(MEDLEY_PACKAGE_FILE_NAME redll-${MEDLEY_VERSION}-${MEDLEY_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_FILE_NAME ${MEDLEY_PACKAGE_FILE_NAME})
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
# Programs and shared libraries without their debugging information (the static libraries keep
# their symbols).
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The Debian package installs into a folder of its own (cmake/cpack_options.cmake): its
# libraries have short, common names.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/cpack_options.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "zelkova")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  # The system libraries the programs need become the package's dependencies.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_LIBDIR})
endif()
include(CPack)

if(MEDLEY_TESTS)
  include(${CMAKE_SOURCE_DIR}/tests/install/install_tests.cmake)
endif()
