# SKUI.dll exports by ordinal only.  On i686 its WINAPI functions carry their argument size in
# their link names, so the module definition is written for the target.
if(TARGET skui)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(at12 "@12")
    set(at16 "@16")
  endif()
  set(def ${CMAKE_CURRENT_BINARY_DIR}/SKUI.def)
  file(WRITE ${def}.new "LIBRARY SKUI.dll\nEXPORTS\n"
       "    SkinShowMessage${at12} @12 NONAME\n"
       "    SetCtrlImage${at16} @104 NONAME\n"
       "    SkinMessageBox${at16} @141 NONAME\n"
       "    SkinMessageBoxEx${at16} @142 NONAME\n")
  configure_file(${def}.new ${def} COPYONLY)
  target_sources(skui PRIVATE ${def})
  # The mask scan, DIB blocks and mask regions are the base library's own units, compiled in
  # (as PixKit takes the LZW decoder).
  target_sources(skui PRIVATE ${CMAKE_SOURCE_DIR}/libbase/ui/mask_runs.cpp ${CMAKE_SOURCE_DIR}/libbase/ui/ui_blocks.cpp
                              ${CMAKE_SOURCE_DIR}/libbase/ui/ui_layout.cpp)
  target_include_directories(skui PRIVATE ${CMAKE_SOURCE_DIR}/libbase/inc)
  target_link_libraries(skui PRIVATE skuilib pixkit)

  # The UI folder beside the programs: the corner masks and buttons, drawn from text.
  file(GLOB ui_pictures CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/skui/pictures/*.txt)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(ui_stamp ${CMAKE_CURRENT_BINARY_DIR}/ui_pictures.stamp)
  add_custom_command(
    OUTPUT ${ui_stamp}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/skui/make_ui_pictures.py
            ${CMAKE_CURRENT_SOURCE_DIR}/skui/pictures ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/UI
    COMMAND ${CMAKE_COMMAND} -E touch ${ui_stamp}
    DEPENDS ${ui_pictures} ${CMAKE_CURRENT_SOURCE_DIR}/skui/make_ui_pictures.py
    COMMENT "Drawing the UI folder's masks and buttons")
  add_custom_target(ui_pictures ALL DEPENDS ${ui_stamp})
  add_dependencies(skui ui_pictures)
endif()
