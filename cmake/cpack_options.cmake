# Read by cpack for each generator: the Debian package lives in /opt/redll; the archives hold
# the install tree itself, under one top folder named after the archive.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /opt/redll)
endif()
