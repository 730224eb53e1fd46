# cmake -DRUN=<program;arguments...> [-DEXIT_CODE=N] [-DOUTPUT=<regex>]
#       [-DOUTPUT_TO=<file>] [-DERROR=<regex>] -P expect_run.cmake
#
# Runs a program as a user does and checks its exit code (0 unless EXIT_CODE says otherwise),
# that its standard output matches OUTPUT (or goes to the file OUTPUT_TO, /dev/full for one),
# that its standard error matches ERROR, and that it holds no report of the sanitizers (a leak
# report, for one, also ends the program with exit code 1).
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED EXIT_CODE)
    set(EXIT_CODE 0)
endif()
if(DEFINED OUTPUT_TO)
    execute_process(COMMAND ${RUN} OUTPUT_FILE ${OUTPUT_TO} ERROR_VARIABLE err
                    RESULT_VARIABLE rc)
else()
    execute_process(COMMAND ${RUN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
endif()
if(NOT rc STREQUAL EXIT_CODE)
    message(FATAL_ERROR "exit code ${rc}, not ${EXIT_CODE}\n${out}\n${err}")
endif()
if(DEFINED OUTPUT AND NOT out MATCHES "${OUTPUT}")
    message(FATAL_ERROR "standard output does not match ${OUTPUT}:\n${out}")
endif()
if(DEFINED ERROR AND NOT err MATCHES "${ERROR}")
    message(FATAL_ERROR "standard error does not match ${ERROR}:\n${err}")
endif()
if(err MATCHES "Sanitizer")
    message(FATAL_ERROR "a sanitizer report on standard error:\n${err}")
endif()
