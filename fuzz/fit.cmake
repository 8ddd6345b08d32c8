# The base library's core refers to the plug-in class's type information under the
# sanitizers: link the plug-in core and ask for the symbol up front.
if(TARGET plugin_core AND NOT WIN32)
  target_link_libraries(${exe} PRIVATE plugin_core)
  target_link_options(${exe} PRIVATE "LINKER:--undefined=_ZTI7CPlugIn")
endif()
