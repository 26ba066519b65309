# Runs TOOL with ARGS in WORKDIR (stdin from INPUT when ARGS is "-") and checks STATUS and EXPECT.
set(args ${ARGS})
set(input_args)
if(ARGS STREQUAL "-")
  set(input_args INPUT_FILE ${WORKDIR}/records.json)
endif()
execute_process(COMMAND ${TOOL} ${args} ${input_args} WORKING_DIRECTORY ${WORKDIR}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\nstdout: ${out}\nstderr: ${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT}")
  message(FATAL_ERROR "output does not match ${EXPECT}\nstdout: ${out}\nstderr: ${err}")
endif()
