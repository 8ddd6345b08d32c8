# PixKit decodes GIF pictures with the base library's own LZW decoder (a pure unit that
# needs no memory blocks), compiled into the stand-in.
if(TARGET pixkit)
  target_sources(pixkit PRIVATE ${CMAKE_SOURCE_DIR}/libbase/imaging/gif_lzw.cpp)
  target_include_directories(pixkit PRIVATE ${CMAKE_SOURCE_DIR}/libbase/imaging ${CMAKE_SOURCE_DIR}/libbase/inc)
endif()
