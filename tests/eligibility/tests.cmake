add_executable(eligibility_sleep_helper ${CMAKE_CURRENT_LIST_DIR}/SleepHelper.cpp)

fennix_add_test(eligibility_rules_test SOURCES
    eligibility/RegistryAccessTest.cpp
    eligibility/RegistryChecksTest.cpp
    eligibility/SystemChecksTest.cpp
    eligibility/BrowserChecksTest.cpp
    eligibility/FrequencyChecksTest.cpp
    LOCKS registry-apppaths)
target_compile_definitions(eligibility_rules_test PRIVATE
    FENNIX_SLEEP_HELPER="$<TARGET_FILE:eligibility_sleep_helper>")
add_dependencies(eligibility_rules_test eligibility_sleep_helper)

# The check engine over real packages; rejections are recorded instead of sent.
# Its browser rule reads App Paths\chrome.exe, which the rules test registers for a while.
fennix_add_test(eligibility_checker_test SOURCES eligibility/EligibilityCheckerTest.cpp LOCKS registry-apppaths)

# Benchmark of the engine's caches; prints figures, not a test. Run with tools/wine-run.sh.
add_executable(bench_eligibility ${CMAKE_SOURCE_DIR}/tools/bench-eligibility.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/test_version.rc)
target_include_directories(bench_eligibility PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(bench_eligibility PRIVATE ${FENNIX_WARNINGS})
target_link_libraries(bench_eligibility PRIVATE fennix_test_config fennix_core)
