# Makes an assembled bundle self-contained (cmake -P, run by qby_add_bundle SELF_CONTAINED):
#
#   cmake -DBUNDLE=<Name.app> -DPLUGINS=<plugin>,... -DLIBRARIES=<library>,... -DPATCHELF=<patchelf>
#         -P DeployRuntime.cmake
#
# Every ELF file of Contents/MacOS, each Qt plugin (into Contents/PlugIns/<its folder>/) and each
# library that is loaded by name at run time (LIBRARIES, e.g. the TLS backend's libssl) are
# scanned; every library they need, directly or through another, goes into Contents/Frameworks/
# unless a desktop is assumed to have it (the base set below). Run paths relative to $ORIGIN and
# Contents/MacOS/qt.conf let the bundle find its own copies wherever it lies.
cmake_minimum_required(VERSION 3.25)

foreach(required BUNDLE PATCHELF)
    if(NOT ${required})
        message(FATAL_ERROR "DeployRuntime: ${required} is not set")
    endif()
endforeach()
string(REPLACE "," ";" PLUGINS "${PLUGINS}")
string(REPLACE "," ";" LIBRARIES "${LIBRARIES}")

# The libraries every desktop has (the exclude list that portable application bundles commonly
# use): glibc and its loader, the C++ runtime, the GL stack and its drivers, the X11 and Wayland
# client basics, fonts and text shaping, and a few small system libraries. Their own needs that
# are outside this set travel in the bundle too: a desktop brings them, but not every desktop the
# same version, and the bundle must also start where only this set is present.
# Names without ".so" and version.
set(base_set
    ld-linux-x86-64 libc libm libdl libpthread librt libresolv libutil libanl libmvec libnsl
    libBrokenLocale libthread_db libnss_files libnss_dns libnss_compat libnss_hesiod
    libstdc++ libgcc_s
    libGL libEGL libGLX libGLdispatch libOpenGL libdrm libgbm libglapi
    libxcb libxcb-dri2 libxcb-dri3 libX11 libX11-xcb libXau libXdmcp libwayland-client
    libfontconfig libfreetype libharfbuzz libfribidi libexpat libz libuuid libICE libSM
    libcom_err libgpg-error libgmp libasound libusb-1.0 libbsd libmd)

set(contents "${BUNDLE}/Contents")
set(frameworks "${contents}/Frameworks")
set(plugins_dir "${contents}/PlugIns")
# What a previous run left is replaced whole: a library no longer needed leaves the bundle.
file(REMOVE_RECURSE "${frameworks}" "${plugins_dir}")
file(MAKE_DIRECTORY "${frameworks}")

# The real file behind a path, copied under the name the loader asks for.
function(_qby_copy_resolved source target)
    file(REAL_PATH "${source}" real)
    file(COPY_FILE "${real}" "${target}" ONLY_IF_DIFFERENT)
    file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()

function(_qby_set_rpath file rpath)
    # DT_RPATH rather than DT_RUNPATH: it also serves the libraries that the system's own base
    # libraries need (libfreetype's libpng, libbrotli), and a user's LD_LIBRARY_PATH cannot
    # replace the bundle's copies.
    execute_process(COMMAND "${PATCHELF}" --force-rpath --set-rpath "${rpath}" "${file}"
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "DeployRuntime: patchelf failed on ${file}: ${errors}")
    endif()
endfunction()

# The programs: every ELF file in Contents/MacOS (the first four bytes are 7f 'E' 'L' 'F').
set(programs)
file(GLOB candidates LIST_DIRECTORIES false "${contents}/MacOS/*")
foreach(candidate IN LISTS candidates)
    if(NOT IS_SYMLINK "${candidate}")
        file(READ "${candidate}" magic LIMIT 4 HEX)
        if(magic STREQUAL "7f454c46")
            list(APPEND programs "${candidate}")
        endif()
    endif()
endforeach()

set(plugin_copies)
foreach(plugin IN LISTS PLUGINS)
    get_filename_component(folder "${plugin}" DIRECTORY)
    get_filename_component(folder "${folder}" NAME)
    get_filename_component(name "${plugin}" NAME)
    file(MAKE_DIRECTORY "${plugins_dir}/${folder}")
    _qby_copy_resolved("${plugin}" "${plugins_dir}/${folder}/${name}")
    list(APPEND plugin_copies "${plugins_dir}/${folder}/${name}")
endforeach()

set(loaded_by_name)
foreach(library IN LISTS LIBRARIES)
    execute_process(COMMAND "${PATCHELF}" --print-soname "${library}" OUTPUT_VARIABLE soname
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR soname STREQUAL "")
        message(FATAL_ERROR "DeployRuntime: ${library} names no soname")
    endif()
    _qby_copy_resolved("${library}" "${frameworks}/${soname}")
    list(APPEND loaded_by_name "${library}")
endforeach()

file(GET_RUNTIME_DEPENDENCIES
     EXECUTABLES ${programs}
     MODULES ${plugin_copies}
     LIBRARIES ${loaded_by_name}
     RESOLVED_DEPENDENCIES_VAR resolved
     UNRESOLVED_DEPENDENCIES_VAR unresolved
     CONFLICTING_DEPENDENCIES_PREFIX conflicting)
if(unresolved)
    message(FATAL_ERROR "DeployRuntime: cannot find ${unresolved}")
endif()
# The same library found through two folders (/lib and /usr/lib are one on merged systems).
foreach(name IN LISTS conflicting_FILENAMES)
    list(GET conflicting_${name} 0 first)
    list(APPEND resolved "${first}")
endforeach()

set(bundled)
foreach(library IN LISTS resolved)
    get_filename_component(name "${library}" NAME)
    string(REGEX REPLACE "\\.so(\\.[0-9]+)*$" "" stem "${name}")
    if(NOT stem IN_LIST base_set)
        _qby_copy_resolved("${library}" "${frameworks}/${name}")
        list(APPEND bundled "${name}")
    endif()
endforeach()
list(REMOVE_DUPLICATES bundled)

# A program that needs nothing beyond the base set (a libc-only helper, run as root) keeps no run
# path: nothing placed in the bundle's Frameworks folder could then be loaded into it.
foreach(program IN LISTS programs)
    execute_process(COMMAND "${PATCHELF}" --print-needed "${program}" OUTPUT_VARIABLE needed
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "DeployRuntime: patchelf cannot read ${program}")
    endif()
    string(REGEX REPLACE "\\.so(\\.[0-9]+)*\n" ";" needed "${needed}")
    list(REMOVE_ITEM needed ${base_set} "")
    if(needed)
        _qby_set_rpath("${program}" "$ORIGIN/../Frameworks")
    endif()
endforeach()
file(GLOB libraries "${frameworks}/*")
foreach(library IN LISTS libraries)
    _qby_set_rpath("${library}" "$ORIGIN")
endforeach()
foreach(plugin IN LISTS plugin_copies)
    _qby_set_rpath("${plugin}" "$ORIGIN/../../Frameworks")
endforeach()

# Qt reads qt.conf beside the executable; its paths are relative to Contents.
file(WRITE "${contents}/MacOS/qt.conf"
     "[Paths]\nPrefix = ..\nPlugins = PlugIns\nLibraries = Frameworks\n")
