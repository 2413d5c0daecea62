# The suites of the Windows build, run under Wine (CMAKE_CROSSCOMPILING_EMULATOR) inside the
# sandbox. The tests/support fixtures control slapd with POSIX calls and stay on Linux, so
# this list holds the suites that need none of them; each runs as one program and one CTest
# entry, because every Wine process start costs about a second.

# Debian ships GoogleTest as sources; built here with the cross compiler.
set(ZNGROUPS_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZNGROUPS_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The recording sender is a DLL of its own here: the library's objects import the messaging
# classes, and only a DLL can stand in for the one they name. Its recording controls are
# exported too.
add_library(zng_recording_messaging SHARED
    support/recording_messaging.cpp
    $<TARGET_OBJECTS:zni_message_classes>)
target_include_directories(zng_recording_messaging PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(zng_recording_messaging PRIVATE ZNI_MESSAGING_BUILD)
# Not the compiler's run time linked into it, which every module carries a copy of.
target_link_options(zng_recording_messaging PRIVATE -Wl,--export-all-symbols
    -Wl,--exclude-libs,libstdc++.a:libgcc.a:libgcc_eh.a:libwinpthread.a:libpthread.a:libmingwex.a:libmingw32.a)

# zngroups_add_wine_test(name [MESSAGING target] [LINUX_ONLY test...] sources...): LINUX_ONLY
# names the tests of the suite that check the POSIX back end and are left out here.
function(zngroups_add_wine_test name)
    cmake_parse_arguments(ARG "" "MESSAGING" "LINUX_ONLY" ${ARGN})
    if(NOT ARG_MESSAGING)
        set(ARG_MESSAGING zni_messaging)
    endif()
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE zngroups_objects ${ARG_MESSAGING} GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    if(ARG_LINUX_ONLY)
        string(REPLACE ";" ":" excluded "${ARG_LINUX_ONLY}")
        add_test(NAME ${name} COMMAND ${name} --gtest_filter=-${excluded})
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
endfunction()

# OpenLDAP's negative client-side numbers are translated by the POSIX back end only.
zngroups_add_wine_test(session_unit_test session/directory_base_test.cpp
    LINUX_ONLY LdapCodes.ClientSideFailuresUseClassicNumbers)
zngroups_add_wine_test(admin_test
    admin/user_token_test.cpp
    admin/change_request_test.cpp)
zngroups_add_wine_test(usage_test MESSAGING zng_recording_messaging usage/usage_test.cpp)

# The messaging component's default spool under %ProgramData%.
zngroups_add_wine_test(messaging_win32_test messaging/default_spool_win32_test.cpp)
# The spool reader is not exported from the DLL; the test reads with its own copy.
target_sources(messaging_win32_test PRIVATE $<TARGET_OBJECTS:zni_spool>)
target_link_libraries(messaging_win32_test PRIVATE zng_test_support)

# The Win32 back ends themselves, against the DLL's version resource and the sandbox's
# servers.
zngroups_add_wine_test(platform_win32_test
    platform/win32_platform_test.cpp
    platform/neutral_version.rc)
add_dependencies(platform_win32_test zngroups)
target_compile_definitions(platform_win32_test PRIVATE
    ZNGROUPS_LIBRARY_FILE="$<TARGET_FILE_NAME:zngroups>")
# Holds the sandbox's servers, as the directory suites do on Linux.
set_tests_properties(platform_win32_test PROPERTIES RESOURCE_LOCK zngroups_sandbox)
# The version lookup once more as a user whose language is German, not US English.
add_test(NAME platform_win32_test_de COMMAND platform_win32_test --gtest_filter=Win32FileVersion.*)
set_tests_properties(platform_win32_test_de PROPERTIES
    ENVIRONMENT "LC_ALL=de_DE.UTF-8;ZNG_USER_LANGUAGE=0407")

# The sandbox as the Windows programs see it: the run directory read through Wine, the faults
# that stop, start, silence or resume a slapd done by a Linux-side script, and no in-process
# listener faults (MakeUnresponsive, StallAfterBind), which are POSIX code.
add_library(zng_test_support STATIC
    support/sandbox_wine.cpp
    support/sandbox_common.cpp
    support/scoped_spool.cpp
    support/environment_win32.cpp)
target_include_directories(zng_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zng_test_support PUBLIC GTest::gtest)
target_compile_definitions(zng_test_support PRIVATE
    ZNG_WINE_CONTROL="${CMAKE_CURRENT_SOURCE_DIR}/support/wine_control.sh")

# zngroups_add_wine_sandbox_test(name [MESSAGING target] [LINUX_ONLY test...] sources...)
function(zngroups_add_wine_sandbox_test name)
    zngroups_add_wine_test(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE zng_test_support)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK zngroups_sandbox)
endfunction()

# search_test.cpp stays on Linux: most of it stalls servers behind a relay, counts open
# descriptors or sets OpenLDAP's global size limit.
zngroups_add_wine_sandbox_test(session_test
    session/server_connection_test.cpp
    session/extraction_test.cpp
    LINUX_ONLY ServerConnection.HostThatNeverAnswersTheConnectIsBoundedByTheConnectTimeOut)

zngroups_add_wine_sandbox_test(workers_test MESSAGING zng_recording_messaging
    workers/worker_loading_test.cpp
    workers/worker_groups_test.cpp)

# Through the DLL and the public header only, as applications use it.
add_executable(worker_api_test workers/worker_object_test.cpp)
target_link_libraries(worker_api_test PRIVATE zngroups zng_test_support GTest::gtest_main)
add_test(NAME worker_api_test COMMAND worker_api_test)
set_tests_properties(worker_api_test PROPERTIES RESOURCE_LOCK zngroups_sandbox)

# Usage reports go through the real messaging DLL into a private spool.
add_executable(group_api_test groups/group_api_test.cpp)
target_link_libraries(group_api_test PRIVATE zngroups zng_test_support GTest::gtest_main)
add_test(NAME group_api_test COMMAND group_api_test)
set_tests_properties(group_api_test PROPERTIES RESOURCE_LOCK zngroups_sandbox)

# The C interface from a plain C program, against the DLL as any application links it.
enable_language(C)
add_executable(zngroups_c_test capi/zngroups_c_test.c)
set_target_properties(zngroups_c_test PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_compile_options(zngroups_c_test PRIVATE -Wall -Wextra -Wpedantic -Werror)
target_link_libraries(zngroups_c_test PRIVATE zngroups)
target_compile_definitions(zngroups_c_test PRIVATE ZNGROUPS_EXPECTED_VERSION="${PROJECT_VERSION}")
add_test(NAME zngroups_c_test COMMAND zngroups_c_test)
set_tests_properties(zngroups_c_test PROPERTIES RESOURCE_LOCK zngroups_sandbox)

# The login dialog through the DLL, driven by window messages; needs a display (Xvfb).
add_executable(login_dialog_test workers/login_dialog_win32_test.cpp)
target_link_libraries(login_dialog_test PRIVATE zngroups zng_test_support GTest::gtest_main)
add_test(NAME login_dialog_test COMMAND login_dialog_test)
set_tests_properties(login_dialog_test PROPERTIES RESOURCE_LOCK zngroups_sandbox)

# Directory TLS through wldap32's own calls.
zngroups_add_wine_sandbox_test(tls_win32_test session/tls_win32_test.cpp)
