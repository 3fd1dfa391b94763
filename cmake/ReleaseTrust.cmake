# The release keys a build trusts, checked at configure time. Included by the top-level
# CMakeLists.txt, and run on its own (cmake -DQBY_RELEASE_PUBLIC_KEYS=... -P) by a test.
#
# The local store's test key (world/keys) has its private half in this repository: anyone can
# sign with it. Trusted, it makes any archive acceptable, so a build that requires signatures
# must not trust it. A build that trusts any other key is one for a real store: it requires
# signatures on the release feed and on every release whatever QBY_REQUIRE_RELEASE_SIGNATURE
# says, since an unsigned feed would let whoever answers for the store's host strip them.

cmake_policy(SET CMP0057 NEW)  # if(IN_LIST), also when run on its own
get_filename_component(qby_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# An Ed25519 public key's PEM body is 12 bytes of algorithm header, then the raw key: in base64
# the raw key is the body's last 44 characters.
function(qby_raw_public_key out pem_file)
    file(STRINGS "${pem_file}" body REGEX "^[A-Za-z0-9+/]+=*$")
    string(SUBSTRING "${body}" 16 44 key)
    set(${out} "${key}" PARENT_SCOPE)
endfunction()
qby_raw_public_key(QBY_TEST_RELEASE_PUBLIC_KEY
                   "${qby_source_root}/world/keys/local-store-ed25519.pub.pem")

# Checks keys and the option; sets QBY_TRUSTS_TEST_KEY and QBY_SIGNATURES_REQUIRED (ON or OFF)
# in the caller's scope.
function(qby_check_release_trust keys require)
    set(trusts_test_key OFF)
    set(trusts_other_key OFF)
    foreach(key IN LISTS keys)
        string(LENGTH "${key}" length)
        if(NOT key MATCHES "^[A-Za-z0-9+/]+=$" OR NOT length EQUAL 44)
            message(FATAL_ERROR "QBY_RELEASE_PUBLIC_KEYS: \"${key}\" is not the base64 of 32 bytes")
        endif()
        if(key STREQUAL QBY_TEST_RELEASE_PUBLIC_KEY)
            set(trusts_test_key ON)
        else()
            set(trusts_other_key ON)
        endif()
    endforeach()
    if(require AND trusts_test_key)
        message(FATAL_ERROR "QBY_REQUIRE_RELEASE_SIGNATURE is ON but QBY_RELEASE_PUBLIC_KEYS holds "
                            "the local store's test key (world/keys), whose private half anyone "
                            "can read: set the store's own keys.")
    endif()
    set(QBY_TRUSTS_TEST_KEY ${trusts_test_key} PARENT_SCOPE)
    if(require OR trusts_other_key)
        set(QBY_SIGNATURES_REQUIRED ON PARENT_SCOPE)
    else()
        set(QBY_SIGNATURES_REQUIRED OFF PARENT_SCOPE)
    endif()
endfunction()

# Writes the header that main.cpp takes its trust from (src/app/BuildReleaseTrust.h.in) to
# output, for these keys and this option.
function(qby_write_release_trust_header output keys require)
    qby_check_release_trust("${keys}" "${require}")
    set(release_key_literals "")
    foreach(key IN LISTS keys)
        string(APPEND release_key_literals "QStringLiteral(\"${key}\"), ")
    endforeach()
    foreach(flag IN ITEMS SIGNATURES_REQUIRED:release_signature_required
                          TRUSTS_TEST_KEY:release_trusts_test_key)
        string(REPLACE ":" ";" flag "${flag}")
        list(GET flag 0 from)
        list(GET flag 1 to)
        if(QBY_${from})
            set(${to} true)
        else()
            set(${to} false)
        endif()
    endforeach()
    configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/app/BuildReleaseTrust.h.in" "${output}" @ONLY)
endfunction()

qby_check_release_trust("${QBY_RELEASE_PUBLIC_KEYS}" "${QBY_REQUIRE_RELEASE_SIGNATURE}")
if(CMAKE_SCRIPT_MODE_FILE)
    message(STATUS "signatures required: ${QBY_SIGNATURES_REQUIRED}")
endif()
