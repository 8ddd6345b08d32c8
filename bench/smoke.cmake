# Runs one benchmark program briefly and fails when it did not run cleanly: a non-zero exit,
# any benchmark that stopped with SkipWithError, or no benchmark run at all.  Every benchmark
# runs twice (two repetitions of at least one iteration each), so that work which cannot be
# repeated over what the one before left (files already there) fails too.
#   cmake -DPROGRAM=path/to/x_bench [-DMIN_TIME=0.001] -P smoke.cmake
if(NOT MIN_TIME)
  set(MIN_TIME 0.001)
endif()
execute_process(COMMAND ${PROGRAM} --benchmark_min_time=${MIN_TIME} --benchmark_repetitions=2
                        --benchmark_format=json
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${rc}:\n${err}")
endif()
string(REGEX MATCHALL "\"error_message\": \"[^\"]*\"" errors "${out}")
if(out MATCHES "\"error_occurred\": true")
  message(FATAL_ERROR "${PROGRAM}: a benchmark reported an error: ${errors}")
endif()
if(NOT out MATCHES "\"iterations\": [1-9]")
  message(FATAL_ERROR "${PROGRAM}: no benchmark ran\n${out}")
endif()
string(REGEX MATCHALL "\"run_name\": \"[^\"]*\"" runs "${out}")
list(LENGTH runs n)
message(STATUS "${n} benchmarks ran without an error")
