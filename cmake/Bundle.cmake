# qby_add_bundle(): assembles a relocatable Name.app bundle under QBY_DIST_DIR.
#
#   qby_add_bundle(TARGET <executable target> NAME <bundle name without .app>
#                  IDENTIFIER <bundle identifier> VERSION <x.y.z>
#                  [RESOURCES <file>...] [RESOURCE_DIRS <dir>...] [QM_FILES <file>...]
#                  [HELPERS <executable target>...] [ICON <png file>] [SELF_CONTAINED]
#                  [PLUGINS <Qt plugin, relative to Qt's plugin folder>...] [ICU_ITEMS <file>])
#
# Layout, re-assembled after every build of the executable and whenever an input changes:
#   <NAME>.app/Contents/Info.plist
#   <NAME>.app/Contents/MacOS/<output name of TARGET>
#   <NAME>.app/Contents/Resources/<each RESOURCES file>
#   <NAME>.app/Contents/Resources/<folder name of each RESOURCE_DIRS entry>/...
#   <NAME>.app/Contents/Resources/translations/<each QM_FILES file>
#   <NAME>.app/Contents/MacOS/<output name of each HELPERS target>
#   <NAME>.app/Contents/Resources/<ICON file>, named by CFBundleIconFile in the Info.plist
# SELF_CONTAINED: the bundle also carries every library and Qt plugin it needs beyond what any
# desktop has (cmake/DeployRuntime.cmake), so that it starts on a stock system:
#   <NAME>.app/Contents/Frameworks/<library>, <NAME>.app/Contents/PlugIns/<folder>/<plugin>,
#   <NAME>.app/Contents/MacOS/qt.conf
# PLUGINS: more Qt plugins than those every bundle carries (platforms/libqoffscreen.so, say).
# ICU_ITEMS (with SELF_CONTAINED): the bundle's ICU data library keeps only the items the file
# lists, one a line (cmake/TrimIcuData.cmake).
# The custom target <NAME>_bundle (part of ALL; characters other than letters, digits and
# underscores become underscores) does the work.

# Escapes the characters that XML does not allow in text.
function(_qby_xml_escape out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(_QBY_DEPLOY_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/DeployRuntime.cmake")
set(_QBY_TRIM_ICU_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/TrimIcuData.cmake")

# The command that makes BUNDLE self-contained: the xcb platform plugin and the OpenSSL TLS
# backend, with the libraries that Qt loads by name: the backend's libssl, and libXcursor for
# the desktop's cursor theme.
function(_qby_deploy_runtime_command out bundle more_plugins)
    find_program(QBY_PATCHELF patchelf REQUIRED)
    find_package(OpenSSL 3 REQUIRED COMPONENTS SSL)
    find_library(QBY_XCURSOR NAMES libXcursor.so.1 REQUIRED)
    # Qt's own tool says where its plugins lie: their targets exist only with every development
    # package of their dependencies installed.
    get_target_property(qtpaths Qt6::qtpaths LOCATION)
    execute_process(COMMAND "${qtpaths}" --query QT_INSTALL_PLUGINS OUTPUT_VARIABLE plugin_dir
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(plugins "${plugin_dir}/platforms/libqxcb.so,${plugin_dir}/tls/libqopensslbackend.so")
    foreach(plugin IN LISTS more_plugins)
        string(APPEND plugins ",${plugin_dir}/${plugin}")
    endforeach()
    set(${out} COMMAND "${CMAKE_COMMAND}" "-DBUNDLE=${bundle}" "-DPLUGINS=${plugins}"
        "-DLIBRARIES=$<TARGET_FILE:OpenSSL::SSL>,${QBY_XCURSOR}" "-DPATCHELF=${QBY_PATCHELF}"
        -P "${_QBY_DEPLOY_SCRIPT}" PARENT_SCOPE)
endfunction()

function(qby_add_bundle)
    # A sanitized build runs no bundle.
    if(QBY_SANITIZE)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 0 ARG "SELF_CONTAINED"
                          "TARGET;NAME;IDENTIFIER;VERSION;ICON;ICU_ITEMS"
                          "RESOURCES;RESOURCE_DIRS;QM_FILES;HELPERS;PLUGINS")
    foreach(required TARGET NAME IDENTIFIER VERSION)
        if(NOT ARG_${required})
            message(FATAL_ERROR "qby_add_bundle: ${required} is required")
        endif()
    endforeach()
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "qby_add_bundle: unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT TARGET ${ARG_TARGET})
        message(FATAL_ERROR "qby_add_bundle: ${ARG_TARGET} is not a target")
    endif()
    if(NOT QBY_DIST_DIR)
        message(FATAL_ERROR "qby_add_bundle: QBY_DIST_DIR is not set")
    endif()

    # The bundle may be moved anywhere: no run path into the build tree. Qt and libplist come
    # from the system's library folders, and every library of ours is linked statically.
    set_target_properties(${ARG_TARGET} PROPERTIES SKIP_BUILD_RPATH TRUE INSTALL_RPATH "")

    set(bundle "${QBY_DIST_DIR}/${ARG_NAME}.app")
    set(contents "${bundle}/Contents")
    set(resources "${contents}/Resources")
    set(work "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_bundle")

    # Info.plist: the executable's name is only known at generation time.
    _qby_xml_escape(identifier "${ARG_IDENTIFIER}")
    _qby_xml_escape(name "${ARG_NAME}")
    _qby_xml_escape(version "${ARG_VERSION}")
    set(icon_entry "")
    if(ARG_ICON)
        get_filename_component(ARG_ICON "${ARG_ICON}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        get_filename_component(icon_name "${ARG_ICON}" NAME)
        _qby_xml_escape(icon_name "${icon_name}")
        set(icon_entry "\t<key>CFBundleIconFile</key>\n\t<string>${icon_name}</string>\n")
        list(APPEND ARG_RESOURCES "${ARG_ICON}")
    endif()
    set(info_plist "${work}/Info.plist")
    file(GENERATE OUTPUT "${info_plist}" CONTENT
"<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">
<plist version=\"1.0\">
<dict>
\t<key>CFBundleExecutable</key>
\t<string>$<TARGET_FILE_NAME:${ARG_TARGET}></string>
${icon_entry}\t<key>CFBundleIdentifier</key>
\t<string>${identifier}</string>
\t<key>CFBundleName</key>
\t<string>${name}</string>
\t<key>CFBundlePackageType</key>
\t<string>APPL</string>
\t<key>CFBundleShortVersionString</key>
\t<string>${version}</string>
</dict>
</plist>
")

    set(commands
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${contents}/MacOS" "${resources}"
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${info_plist}" "${contents}/Info.plist")
    set(inputs "${info_plist}")

    # The executable and the programs of the bundle's own that it runs, side by side. The debug
    # information names the source and build folders; the bundle's copies go without it (the
    # build tree's programs keep it for the debugger).
    foreach(program IN ITEMS ${ARG_TARGET} LISTS ARG_HELPERS)
        set(copy "${contents}/MacOS/$<TARGET_FILE_NAME:${program}>")
        if(CMAKE_OBJCOPY)
            list(APPEND commands COMMAND "${CMAKE_OBJCOPY}" --strip-debug
                 "$<TARGET_FILE:${program}>" "${copy}")
        else()
            list(APPEND commands COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:${program}>"
                 "${copy}")
        endif()
        list(APPEND inputs ${program})
    endforeach()

    foreach(file IN LISTS ARG_RESOURCES)
        get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND commands COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${file}"
             "${resources}/")
        list(APPEND inputs "${file}")
    endforeach()

    # Each folder is replaced as a whole, so a file deleted from the sources leaves the bundle too.
    foreach(dir IN LISTS ARG_RESOURCE_DIRS)
        get_filename_component(dir "${dir}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        get_filename_component(dir_name "${dir}" NAME)
        file(GLOB_RECURSE dir_files CONFIGURE_DEPENDS "${dir}/*")
        list(APPEND commands
             COMMAND "${CMAKE_COMMAND}" -E rm -rf "${resources}/${dir_name}"
             COMMAND "${CMAKE_COMMAND}" -E copy_directory "${dir}" "${resources}/${dir_name}")
        list(APPEND inputs ${dir_files})
    endforeach()

    if(ARG_QM_FILES)
        list(APPEND commands COMMAND "${CMAKE_COMMAND}" -E make_directory
             "${resources}/translations")
        foreach(file IN LISTS ARG_QM_FILES)
            get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
            list(APPEND commands COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${file}"
                 "${resources}/translations/")
            list(APPEND inputs "${file}")
        endforeach()
    endif()

    if(ARG_SELF_CONTAINED)
        _qby_deploy_runtime_command(deploy "${bundle}" "${ARG_PLUGINS}")
        list(APPEND commands ${deploy})
        list(APPEND inputs "${_QBY_DEPLOY_SCRIPT}")
        if(ARG_ICU_ITEMS)
            get_filename_component(ARG_ICU_ITEMS "${ARG_ICU_ITEMS}" ABSOLUTE
                                   BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
            find_program(QBY_ICUPKG icupkg PATHS /usr/sbin REQUIRED)
            list(APPEND commands COMMAND "${CMAKE_COMMAND}" "-DBUNDLE=${bundle}"
                 "-DITEMS=${ARG_ICU_ITEMS}" "-DICUPKG=${QBY_ICUPKG}" "-DOBJCOPY=${CMAKE_OBJCOPY}"
                 "-DCC=${CMAKE_C_COMPILER}" "-DWORK=${work}/icu" -P "${_QBY_TRIM_ICU_SCRIPT}")
            list(APPEND inputs "${ARG_ICU_ITEMS}" "${_QBY_TRIM_ICU_SCRIPT}")
        endif()
    endif()

    set(stamp "${work}/assembled.stamp")
    add_custom_command(OUTPUT "${stamp}" ${commands}
                       COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
                       DEPENDS ${inputs}
                       COMMENT "Assembling ${ARG_NAME}.app"
                       VERBATIM)
    # A target name allows no spaces: "Game Demo" gives Game_Demo_bundle.
    string(MAKE_C_IDENTIFIER "${ARG_NAME}_bundle" bundle_target)
    add_custom_target(${bundle_target} ALL DEPENDS "${stamp}")
endfunction()
