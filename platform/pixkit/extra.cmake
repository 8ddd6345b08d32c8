# PixKit decodes GIF pictures with the GIF codec core, which the base library links too.
if(TARGET pixkit)
  target_link_libraries(pixkit PRIVATE gifcodec)
endif()
if(MEDLEY_SANITIZE AND TARGET pixkit)
  # stb_image_write's JPEG encoder shifts negative values left (defined by every compiler we
  # use, undefined by the letter of C); keep UBSan's other checks on that file.
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/pixkit/pixkit_jpeg.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=shift)
endif()
if(MEDLEY_SANITIZE AND TARGET pixkit)
  # stb_image shifts past a word's width on damaged JPEG data (see pixkit_stb.cpp).
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/pixkit/pixkit_stb.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=shift)
endif()
