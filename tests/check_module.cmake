# Checks the Windows module's binary contract with the platform's own tools:
#   objdump -p: exactly one export, MD_GetPlugInInterface;
#   wrestool -l: every resource in language 1033.
# Run as: cmake -DMODULE=redll.pll -DOBJDUMP=... -DWRESTOOL=... -P check_module.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[[^\n]*\n)*" table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_0-9@]+" exports "${table}")
list(LENGTH exports n)
if(NOT n EQUAL 1 OR NOT exports MATCHES "MD_GetPlugInInterface$")
  message(FATAL_ERROR "expected the one export MD_GetPlugInInterface, found: ${exports}")
endif()
message(STATUS "exports: ${exports}")

execute_process(COMMAND ${WRESTOOL} -l ${MODULE} OUTPUT_VARIABLE list RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "wrestool failed on ${MODULE}")
endif()
string(REGEX MATCHALL "--language=[0-9]+" langs "${list}")
list(REMOVE_DUPLICATES langs)
if(NOT langs STREQUAL "--language=1033")
  message(FATAL_ERROR "resource languages other than 1033: ${langs}")
endif()
message(STATUS "resources: language 1033 (each one is loaded by the plugin tests)")
