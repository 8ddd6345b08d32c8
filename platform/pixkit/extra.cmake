# PixKit decodes GIF pictures with the GIF codec core, which the base library links too.
if(TARGET pixkit)
  target_link_libraries(pixkit PRIVATE gifcodec)
endif()
