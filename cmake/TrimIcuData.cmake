# Replaces ICU's data library in a self-contained bundle (cmake -P, after DeployRuntime.cmake)
# by one that carries only the items the downloader reads (ITEMS: a file, one item a line, as
# `icupkg -l` names them), so that 30 MB of locale, collation and converter data stay home:
#
#   cmake -DBUNDLE=<Name.app> -DITEMS=<icu-items.txt> -DICUPKG=<icupkg> -DOBJCOPY=<objcopy>
#         -DCC=<C compiler> -DWORK=<folder> -P TrimIcuData.cmake
#
# The packaged data is the library's read-only data section, the symbol icudt<NN>_dat; icupkg
# takes the listed items out of it into a new package, which a library of the same soname and
# symbol then carries (the assembler's .incbin). An item missing from the data stops the build.
cmake_minimum_required(VERSION 3.25)
foreach(required BUNDLE ITEMS ICUPKG OBJCOPY CC WORK)
    if(NOT ${required})
        message(FATAL_ERROR "TrimIcuData: ${required} is not set")
    endif()
endforeach()

file(GLOB libraries "${BUNDLE}/Contents/Frameworks/libicudata.so.*")
list(LENGTH libraries count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "TrimIcuData: expected one libicudata in the bundle, found ${count}")
endif()
get_filename_component(soname "${libraries}" NAME)
string(REGEX MATCH "[0-9]+$" major "${soname}")
set(package "icudt${major}l")

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/items" "${WORK}/trimmed")
# icupkg takes a list of items from a file whose name ends in .txt, and nothing else.
file(COPY_FILE "${ITEMS}" "${WORK}/items.txt")
set(ITEMS "${WORK}/items.txt")
# icupkg reads the package's name from its file name.
execute_process(COMMAND "${OBJCOPY}" -O binary --only-section=.rodata "${libraries}"
                        "${WORK}/${package}.dat" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${ICUPKG}" -x "${ITEMS}" -d "${WORK}/items" "${WORK}/${package}.dat"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "TrimIcuData: icupkg could not take the items out: ${errors}")
endif()
execute_process(COMMAND "${ICUPKG}" -tl -s "${WORK}/items" -a "${ITEMS}" new
                        "${WORK}/trimmed/${package}.dat"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "TrimIcuData: icupkg could not make the package: ${errors}")
endif()

file(WRITE "${WORK}/data.S"
".section .rodata
.globl icudt${major}_dat
.type icudt${major}_dat, @object
.balign 16
icudt${major}_dat:
.incbin \"${WORK}/trimmed/${package}.dat\"
.size icudt${major}_dat, . - icudt${major}_dat
.section .note.GNU-stack, \"\", @progbits
")
execute_process(COMMAND "${CC}" -shared -nostdlib "-Wl,-soname,${soname}" -Wl,-z,noexecstack
                        -o "${WORK}/${soname}" "${WORK}/data.S"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "TrimIcuData: the data library did not link: ${errors}")
endif()
file(COPY_FILE "${WORK}/${soname}" "${libraries}")
file(SIZE "${WORK}/${package}.dat" before)
file(SIZE "${WORK}/trimmed/${package}.dat" after)
message(STATUS "ICU data: ${before} bytes, ${after} bytes of it kept")
