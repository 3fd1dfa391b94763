# Writes the launcher's too-old texts (a C table for texts.c) from the downloader's translations:
#
#   cmake -DOUTPUT=<too_old_texts.inc> -DTS_FILES=<QBYDownloader_xx.ts>,... -P TooOldTexts.cmake
#
# The keys are the downloader's own; a language whose file lacks one of them is an error, so the
# launcher and the downloader cannot drift apart. English ("en") comes first: the fallback.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" TS_FILES "${TS_FILES}")
set(keys
    "Mac OS X is too old."
    "The Quillbay app is needed to download your game. However the Quillbay app requires Mac OS X 10.6 or newer, and your version of Mac OS X is too old."
    "Support"
    "Quit")

function(_qby_translation out content key file)
    string(FIND "${content}" "<source>${key}</source>" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "TooOldTexts: ${file} has no message \"${key}\"")
    endif()
    string(SUBSTRING "${content}" ${at} -1 rest)
    string(FIND "${rest}" "<translation" start)
    string(SUBSTRING "${rest}" ${start} -1 rest)
    string(FIND "${rest}" ">" start)
    math(EXPR start "${start} + 1")
    string(SUBSTRING "${rest}" ${start} -1 rest)
    string(FIND "${rest}" "</translation>" end)
    string(SUBSTRING "${rest}" 0 ${end} text)
    if(text STREQUAL "")
        message(FATAL_ERROR "TooOldTexts: ${file} leaves \"${key}\" untranslated")
    endif()
    foreach(pair "&lt;;<" "&gt;;>" "&quot;;\"" "&apos;;'" "&amp;;&")
        list(GET pair 0 entity)
        list(GET pair 1 character)
        string(REPLACE "${entity}" "${character}" text "${text}")
    endforeach()
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(english "")
set(others "")
foreach(file IN LISTS TS_FILES)
    get_filename_component(name "${file}" NAME_WE)
    string(REGEX REPLACE "^.*_" "" language "${name}")
    file(READ "${file}" content)
    set(row "{\"${language}\"")
    foreach(key IN LISTS keys)
        _qby_translation(text "${content}" "${key}" "${file}")
        string(APPEND row ", ${text}")
    endforeach()
    string(APPEND row "}, \\\n")
    if(language STREQUAL "en")
        set(english "${row}")
    else()
        string(APPEND others "${row}")
    endif()
endforeach()
if(english STREQUAL "")
    message(FATAL_ERROR "TooOldTexts: no English translation among ${TS_FILES}")
endif()
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "#define QBY_TOO_OLD_TEXTS \\\n${english}${others}\n"
     @ONLY)
