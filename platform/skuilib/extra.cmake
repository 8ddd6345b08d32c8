# The window and control classes run on Windows' own window system: Windows builds only (the
# native build keeps the wizard host and the template reader).  Control images are read in the
# imaging library's allocator; tooltips are the common controls'.
if(WIN32 AND TARGET skuilib)
  file(GLOB skuilib_win_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/win/*.cpp)
  target_sources(skuilib PRIVATE ${skuilib_win_srcs})
  target_include_directories(skuilib PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/win)
  target_link_libraries(skuilib PRIVATE pixkit comctl32)
  # DIB blocks and mask regions: the base library's own unit, compiled in.
  target_sources(skuilib PRIVATE ${CMAKE_SOURCE_DIR}/libbase/ui/ui_blocks.cpp ${CMAKE_SOURCE_DIR}/libbase/ui/mask_runs.cpp
                                 ${CMAKE_SOURCE_DIR}/libbase/ui/ui_layout.cpp)
  target_include_directories(skuilib PRIVATE ${CMAKE_SOURCE_DIR}/libbase/inc)
endif()
# The UI folder beside the programs: the dialog templates and the buttons and grip drawn from
# text (platform/skuilib/pictures, turned into BMP files by the SKUI stand-in's drawing script).
if(WIN32 AND TARGET skuilib)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  file(GLOB skuilib_pictures CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/pictures/*.txt)
  file(GLOB skuilib_templates CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/ui/*.ui)
  set(skuilib_stamp ${CMAKE_CURRENT_BINARY_DIR}/skuilib_ui.stamp)
  add_custom_command(
    OUTPUT ${skuilib_stamp}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/skui/make_ui_pictures.py
            ${CMAKE_CURRENT_SOURCE_DIR}/skuilib/pictures ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/UI
    COMMAND ${CMAKE_COMMAND} -E copy ${skuilib_templates} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/UI
    COMMAND ${CMAKE_COMMAND} -E touch ${skuilib_stamp}
    DEPENDS ${skuilib_pictures} ${skuilib_templates} ${CMAKE_CURRENT_SOURCE_DIR}/skui/make_ui_pictures.py
    COMMENT "Drawing the dialogs' buttons and copying their templates to the UI folder")
  add_custom_target(skuilib_ui ALL DEPENDS ${skuilib_stamp})
  add_dependencies(skuilib skuilib_ui)
endif()
