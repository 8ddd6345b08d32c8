# The install tree, its CMake package and the release archives, each tried as its user would:
# from an empty folder, with nothing of the build tree on any search path.  The Windows tests
# run medley.exe and the consumer under Wine (the i686 build: where 32-bit Wine runs; elsewhere
# contents and imports only).
# All carry the label "install" (scripts/test.sh runs them alone in the i686 build).
set(work ${CMAKE_BINARY_DIR}/install-tests)
set(here ${CMAKE_CURRENT_LIST_DIR})
set(runner "")
if(WIN32)
  set(runner "${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()

if(WIN32)
  get_filename_component(toolchain ${CMAKE_TOOLCHAIN_FILE} ABSOLUTE)
  add_test(NAME install_consumer COMMAND sh ${here}/consumer_test.sh ${CMAKE_BINARY_DIR} ${work}/consumer
                                         ${toolchain} "${runner}")
  add_test(NAME install_zip COMMAND sh ${here}/package_test.sh ${CMAKE_BINARY_DIR} ${work}/zip ZIP
                                    ${MEDLEY_PACKAGE_FILE_NAME} ${MEDLEY_VERSION} "${runner}")
  set(install_tests install_consumer install_zip)
else()
  add_test(NAME install_consumer COMMAND sh ${here}/consumer_test.sh ${CMAKE_BINARY_DIR} ${work}/consumer)
  add_test(NAME install_tgz COMMAND sh ${here}/package_test.sh ${CMAKE_BINARY_DIR} ${work}/tgz TGZ
                                    ${MEDLEY_PACKAGE_FILE_NAME} ${MEDLEY_VERSION})
  set(install_tests install_consumer install_tgz)
  find_program(DPKG_DEB dpkg-deb)
  if(DPKG_DEB)
    add_test(NAME install_deb COMMAND sh ${here}/package_test.sh ${CMAKE_BINARY_DIR} ${work}/deb DEB
                                      ${MEDLEY_PACKAGE_FILE_NAME} ${MEDLEY_VERSION})
    list(APPEND install_tests install_deb)
  endif()
endif()
# cmake --install and cpack both write the build folder's install manifest.
set_tests_properties(${install_tests} PROPERTIES LABELS install RESOURCE_LOCK install_tree
                     ENVIRONMENT "MEDLEY_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
