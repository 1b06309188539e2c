# Runs the crash probe through the emulator again and again: Wine must report
# every crash as a failure. With only its crash dialog turned off, a crashed
# program exits 0 in about half the runs, which would pass a crashing test.
foreach(run RANGE 1 20)
  execute_process(COMMAND ${EMULATOR} ${PROBE} RESULT_VARIABLE code
    OUTPUT_QUIET ERROR_QUIET)
  if(code EQUAL 0)
    message(FATAL_ERROR "run ${run}: the crashed program exited with 0")
  endif()
endforeach()
