# The release keys a build trusts, checked at configure time. Included by the top-level
# CMakeLists.txt, and run on its own (cmake -DQBY_RELEASE_PUBLIC_KEYS=... -P) by a test.
#
# The local store's test key (world/keys) has its private half in this repository: anyone can
# sign with it. Trusted, it makes any archive acceptable, so a build that requires signatures
# must not trust it.

cmake_policy(SET CMP0057 NEW)  # if(IN_LIST), also when run on its own
get_filename_component(qby_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# An Ed25519 public key's PEM body is 12 bytes of algorithm header, then the raw key: in base64
# the raw key is the body's last 44 characters.
file(STRINGS "${qby_source_root}/world/keys/local-store-ed25519.pub.pem" qby_test_key_body
     REGEX "^[A-Za-z0-9+/]+=*$")
string(SUBSTRING "${qby_test_key_body}" 16 44 QBY_TEST_RELEASE_PUBLIC_KEY)

foreach(key IN LISTS QBY_RELEASE_PUBLIC_KEYS)
    string(LENGTH "${key}" length)
    if(NOT key MATCHES "^[A-Za-z0-9+/]+=$" OR NOT length EQUAL 44)
        message(FATAL_ERROR "QBY_RELEASE_PUBLIC_KEYS: \"${key}\" is not the base64 of 32 bytes")
    endif()
endforeach()

if(QBY_TEST_RELEASE_PUBLIC_KEY IN_LIST QBY_RELEASE_PUBLIC_KEYS)
    set(QBY_TRUSTS_TEST_KEY ON)
else()
    set(QBY_TRUSTS_TEST_KEY OFF)
endif()
if(QBY_REQUIRE_RELEASE_SIGNATURE AND QBY_TRUSTS_TEST_KEY)
    message(FATAL_ERROR "QBY_REQUIRE_RELEASE_SIGNATURE is ON but QBY_RELEASE_PUBLIC_KEYS holds the "
                        "local store's test key (world/keys), whose private half anyone can read: "
                        "set the store's own keys.")
endif()
