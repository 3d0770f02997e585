# Starting programs as the signed-in user; the probe records who started it.
add_executable(launch_probe WIN32 win32/LaunchProbe.cpp)
target_include_directories(launch_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(launch_probe PRIVATE ${FENNIX_WARNINGS})
target_link_options(launch_probe PRIVATE -municode)
fennix_add_test(user_launch_test SOURCES win32/UserLaunchTest.cpp)
add_dependencies(user_launch_test launch_probe)
foreach(prefix ${FENNIX_TEST_PREFIXES})
    set_property(TEST user_launch_test.${prefix} APPEND PROPERTY ENVIRONMENT "FENNIX_LAUNCH_PROBE=$<TARGET_FILE:launch_probe>")
endforeach()

fennix_add_test(run_log_test SOURCES win32/RunLogTest.cpp)
