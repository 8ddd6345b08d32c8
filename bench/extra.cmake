# giflib is a peer used only to measure the GIF reader against it.
if(TARGET gif_bench)
  find_library(GIFLIB_LIBRARY gif REQUIRED)
  target_link_libraries(gif_bench PRIVATE ${GIFLIB_LIBRARY})
  if(TARGET plugin_core)
    target_link_libraries(gif_bench PRIVATE plugin_core)
    target_link_options(gif_bench PRIVATE "LINKER:--undefined=_ZTI7CPlugIn")
  endif()
endif()
