# One row of the floor test's own table: INPUT placed in a bundle of its own (as its launcher
# when LAUNCHER is on) must pass RuntimeFloor.cmake (EXPECT pass) or fail it naming FAULT.
#
#   cmake -DINPUT=<elf> -DLAUNCHER=ON|OFF -DEXPECT=pass|fail [-DFAULT=<text>] -DWORK=<dir>
#         -DOBJDUMP=<objdump> -DFLOOR=<RuntimeFloor.cmake> -P FloorCase.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
set(macos "${WORK}/Case.app/Contents/MacOS")
file(MAKE_DIRECTORY "${macos}")
file(COPY_FILE "${INPUT}" "${macos}/Case")
set(launchers "")
if(LAUNCHER)
    set(launchers "Case.app/Contents/MacOS/Case")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -DDIST=${WORK} -DOBJDUMP=${OBJDUMP} -DGLIBC=2.35
                        -DGLIBCXX=3.4.30 -DCXXABI=1.3.13 -DLAUNCHER_GLIBC=2.17
                        -DLAUNCHERS=${launchers} -P "${FLOOR}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "pass" AND NOT status EQUAL 0)
    message(FATAL_ERROR "refused a file within the floor:\n${output}")
elseif(EXPECT STREQUAL "fail")
    if(status EQUAL 0)
        message(FATAL_ERROR "passed a file beyond the floor:\n${output}")
    endif()
    string(FIND "${output}" "${FAULT}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "failed without naming ${FAULT}:\n${output}")
    endif()
endif()
