# The signed roads' downloader bundle (world/CMakeLists.txt): a copy of the default build's
# bundle FROM at TO, with EXECUTABLE in place of the bundle's own executable of that name, given
# the same run path.
#
#   cmake -DFROM=<Name.app> -DTO=<Name.app> -DEXECUTABLE=<file> -DOBJCOPY=<objcopy>
#         -DPATCHELF=<patchelf> -P SignedBundle.cmake
cmake_minimum_required(VERSION 3.25)

get_filename_component(name "${EXECUTABLE}" NAME)
set(target "${TO}/Contents/MacOS/${name}")
execute_process(COMMAND "${PATCHELF}" --print-rpath "${FROM}/Contents/MacOS/${name}"
                OUTPUT_VARIABLE rpath OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${TO}")
execute_process(COMMAND cp -a "${FROM}" "${TO}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE "${target}")
if(OBJCOPY)
    execute_process(COMMAND "${OBJCOPY}" --strip-debug "${EXECUTABLE}" "${target}"
                    COMMAND_ERROR_IS_FATAL ANY)
else()
    file(COPY_FILE "${EXECUTABLE}" "${target}")
endif()
if(rpath)
    execute_process(COMMAND "${PATCHELF}" --force-rpath --set-rpath "${rpath}" "${target}"
                    COMMAND_ERROR_IS_FATAL ANY)
endif()
