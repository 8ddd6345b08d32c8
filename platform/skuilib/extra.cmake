# The window and control classes run on Windows' own window system: Windows builds only (the
# native build keeps the wizard host).  Control images are read in the imaging library's
# allocator.
if(WIN32 AND TARGET skuilib)
  target_sources(skuilib PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/win/skui_wnd.cpp)
  target_link_libraries(skuilib PRIVATE pixkit)
endif()
