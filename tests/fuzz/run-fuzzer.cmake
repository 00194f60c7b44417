# cmake -DFUZZER=exe -DSEEDS=dir -DWORK=dir -DSECONDS=n -DOPTIONS=list -P run-fuzzer.cmake
# Fuzzes a copy of the seeds in WORK/corpus for SECONDS; a failing input is
# left in WORK/artifacts.
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
    COMMAND ${FUZZER} ${OPTIONS} -max_total_time=${SECONDS} -artifact_prefix=${WORK}/artifacts/
        ${WORK}/corpus
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the fuzzer failed (${status}); its input is in ${WORK}/artifacts")
endif()
