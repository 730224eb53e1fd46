# cmake -DRUN=<program;arguments...> [-DEXIT_CODE=N] [-DOUTPUT=<regex>] -P expect_run.cmake
#
# Runs a program as a user does and checks its exit code (0 unless EXIT_CODE says otherwise),
# that its standard output matches OUTPUT, and that its standard error holds no report of the
# sanitizers (a leak report, for one, also ends the program with exit code 1).
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED EXIT_CODE)
    set(EXIT_CODE 0)
endif()
execute_process(COMMAND ${RUN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc STREQUAL EXIT_CODE)
    message(FATAL_ERROR "exit code ${rc}, not ${EXIT_CODE}\n${out}\n${err}")
endif()
if(DEFINED OUTPUT AND NOT out MATCHES "${OUTPUT}")
    message(FATAL_ERROR "standard output does not match ${OUTPUT}:\n${out}")
endif()
if(err MATCHES "Sanitizer")
    message(FATAL_ERROR "a sanitizer report on standard error:\n${err}")
endif()
