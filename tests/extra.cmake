# The GIF corpus decoded by giflib and by our reader must agree (native only: giflib is not
# built for the Windows targets).
if(NOT WIN32)
  find_library(GIFLIB_LIBRARY gif)
  find_path(GIFLIB_INCLUDE gif_lib.h)
  if(GIFLIB_LIBRARY AND GIFLIB_INCLUDE)
    add_executable(gif_giflib_compare ${CMAKE_CURRENT_SOURCE_DIR}/giflib_check/gif_giflib_compare.cpp)
    target_include_directories(gif_giflib_compare PRIVATE ${GIFLIB_INCLUDE} ${CMAKE_CURRENT_SOURCE_DIR}/testkit)
    target_link_libraries(gif_giflib_compare PRIVATE libbase pixkit ${GIFLIB_LIBRARY})
    add_test(NAME imaging_giflib_corpus COMMAND gif_giflib_compare --at-least 40 ${CMAKE_SOURCE_DIR}/fuzz/corpus/gif)
    # What our writer makes of that corpus, read by giflib, Pillow and gifsicle.
    find_program(GIFSICLE gifsicle)
    execute_process(COMMAND /usr/bin/python3 -c "import PIL" RESULT_VARIABLE no_pil OUTPUT_QUIET ERROR_QUIET)
    if(GIFSICLE AND no_pil EQUAL 0)
      add_test(NAME imaging_peer_outputs
               COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/giflib_check/peer_outputs.py $<TARGET_FILE:medley>
                       $<TARGET_FILE:gif_giflib_compare> ${CMAKE_SOURCE_DIR}/fuzz/corpus/gif
                       ${CMAKE_BINARY_DIR}/peer-outputs)
    endif()
  endif()
endif()
# The GIF writers on a full disk (a file-size limit): native only, the limit is the host's.
if(NOT WIN32)
  add_test(NAME imaging_full_disk COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/gif_full_disk_test.sh $<TARGET_FILE:medley>
                                          ${CMAKE_SOURCE_DIR}/fuzz/corpus/gif/im_static_256c.gif)
endif()
if(MEDLEY_SANITIZE)
  # stb_image_write's JPEG encoder shifts negative values left (see tools/extra.cmake).
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/platform/pixkit_test.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=shift)
endif()

# A corpus of folders fitted into 100k, 300k and 600k budgets: sizes, the library's reader,
# Wireshark's MMS dissector, giflib (natively), Pillow, and the PSNR table (fit-psnr.csv).
find_program(TSHARK_FIT tshark)
execute_process(COMMAND /usr/bin/python3 -c "import PIL" RESULT_VARIABLE no_pil_fit OUTPUT_QUIET ERROR_QUIET)
if(TSHARK_FIT AND no_pil_fit EQUAL 0)
  if(WIN32)
    add_test(NAME fit_budget COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/fit_budget_test.py
             $<TARGET_FILE:medley> - ${CMAKE_CROSSCOMPILING_EMULATOR})
  elseif(TARGET gif_giflib_compare)
    add_test(NAME fit_budget COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/fit_budget_test.py
             $<TARGET_FILE:medley> $<TARGET_FILE:gif_giflib_compare>)
  endif()
  if(TEST fit_budget)
    set_tests_properties(fit_budget PROPERTIES TIMEOUT 2400)
  endif()
endif()
# The demo with a budget: the message is fitted before it is sent, and what arrives is what
# was sent.
add_test(NAME demo_max_size COMMAND medley demo --max-size 20k --work ${CMAKE_BINARY_DIR}/demo-fit-work)
set_tests_properties(demo_max_size PROPERTIES PASS_REGULAR_EXPRESSION "verdict: OK.*fitted from [0-9]+ to [0-9]+ octets within the budget of 20480")
