# The main job's demo: its steps as a library (medley and the tests run it).
add_library(medley_demo STATIC ${CMAKE_CURRENT_SOURCE_DIR}/demo/demo.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/demo/sample_media.cpp)
target_include_directories(medley_demo PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/demo)
target_link_libraries(medley_demo PUBLIC libbase phone_sim PRIVATE thirdparty)
foreach(lib pixkit mdoc)
  if(TARGET ${lib})
    target_link_libraries(medley_demo PUBLIC ${lib})
  endif()
endforeach()
target_link_libraries(medley PRIVATE medley_demo)
if(MEDLEY_SANITIZE)
  # stb_image_write's JPEG encoder shifts negative values left (defined by every compiler we
  # use, undefined by the letter of C); keep UBSan's other checks on that file.
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/demo/sample_media.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=shift)
endif()
