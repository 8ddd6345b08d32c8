# The resource script and the pictures it includes.  Pictures are drawn as text in
# plugin/pictures/*.txt and turned into .cur/.ico/.bmp at build time.
set(REDLL_PICTURE_DIR ${CMAKE_BINARY_DIR}/plugin/pictures)
file(GLOB picture_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pictures/*.txt)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(REDLL_PICTURES ${REDLL_PICTURE_DIR}/stamp)
add_custom_command(
  OUTPUT ${REDLL_PICTURES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${REDLL_PICTURE_DIR}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/pictures/make_pictures.py
          ${CMAKE_CURRENT_SOURCE_DIR}/pictures ${REDLL_PICTURE_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${REDLL_PICTURES}
  DEPENDS ${picture_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/pictures/make_pictures.py
  COMMENT "Drawing the module's cursors, icons and bitmaps")
add_custom_target(redll_pictures DEPENDS ${REDLL_PICTURES})

if(NOT WIN32)
  find_program(WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres windres REQUIRED)
  set(REDLL_RES ${CMAKE_BINARY_DIR}/plugin/redll.res)
  add_custom_command(
    OUTPUT ${REDLL_RES}
    COMMAND ${WINDRES} -I ${REDLL_PICTURE_DIR} -I ${CMAKE_CURRENT_SOURCE_DIR}
            -i ${CMAKE_CURRENT_SOURCE_DIR}/redll.rc -O res -o ${REDLL_RES}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/redll.rc ${REDLL_PICTURES}
    COMMENT "Compiling the resource script")
endif()
