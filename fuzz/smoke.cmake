# One fuzz target's smoke run: a fixed number of executions from a fixed seed,
# starting from the committed seeds. New inputs go to a scratch corpus in the
# build tree, never into the seeds. Fails on any finding.
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DRUNS=... [-DDICTIONARY=...] -P smoke.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/findings)
set(options -seed=1 -runs=${RUNS} -max_total_time=120 -timeout=25
            -print_final_stats=1 -artifact_prefix=${WORK}/findings/)
if(DICTIONARY)
  list(APPEND options -dict=${DICTIONARY})
endif()
execute_process(COMMAND ${FUZZER} ${options} ${WORK}/corpus ${SEEDS}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REGEX MATCH "stat::number_of_executed_units: [0-9]+" executions "${output}")
if(NOT result EQUAL 0)
  message("${output}")
  message(FATAL_ERROR "${FUZZER}: finding (exit ${result}); inputs in ${WORK}/findings")
endif()
message("${executions}")
