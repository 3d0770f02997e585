# Network tests: the local HTTPS backend as a fixture, one per test slot, in the slot's network namespace
# (which the harness makes, hence the wine fixture); a test that needs it takes a slot, so one scenario
# at a time per backend.
set(FENNIX_BACKEND_RUN_DIR ${CMAKE_BINARY_DIR}/backend)
add_test(NAME backend.start
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/backend-start.sh ${FENNIX_BACKEND_RUN_DIR} ${CMAKE_SOURCE_DIR}/tools/backend/server.py
            ${FENNIX_HARNESS_DIR} ${FENNIX_TEST_SLOTS})
add_test(NAME backend.stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/backend-stop.sh ${FENNIX_BACKEND_RUN_DIR} ${FENNIX_TEST_SLOTS})
set_tests_properties(backend.start PROPERTIES FIXTURES_SETUP backend FIXTURES_REQUIRED wine)
set_tests_properties(backend.stop PROPERTIES FIXTURES_CLEANUP backend FIXTURES_REQUIRED wine)

# Pure package and parameter logic: no network, both prefixes.
fennix_add_test(package_test SOURCES network/PackageTest.cpp network/PackageParametersTest.cpp)

# Everything that talks to the backend; port 443 is one, so the 64-bit prefix only.
fennix_add_test(network_test
    SOURCES network/DownloadManagerTest.cpp network/EventReportTest.cpp
            network/ConfigurationRequestTest.cpp network/PackageImageTest.cpp
    PREFIXES win64)
set_property(TEST network_test.win64 APPEND PROPERTY FIXTURES_REQUIRED backend)
set_property(TEST network_test.win64 APPEND PROPERTY ENVIRONMENT
    "FENNIX_BACKEND_DIR=${FENNIX_BACKEND_RUN_DIR};FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo")

# The shipped time limits at full length, against a silent listener of its own: no backend, no lock.
fennix_add_test(full_time_limit_test SOURCES network/FullTimeLimitTest.cpp PREFIXES win64)
target_link_libraries(full_time_limit_test PRIVATE ws2_32)

# Throughput figures, not a test: tests/network/run-benchmark.sh runs it.
add_executable(download_benchmark network/DownloadBenchmark.cpp)
target_include_directories(download_benchmark PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(download_benchmark PRIVATE ${FENNIX_WARNINGS})
target_link_libraries(download_benchmark PRIVATE fennix_test_config fennix_core)
target_link_options(download_benchmark PRIVATE -municode)

# The test backend's own self-check: free ports and a scratch CA, so it runs beside everything else.
add_test(NAME backend_selftest COMMAND bash ${CMAKE_SOURCE_DIR}/tools/backend/selftest.sh)
set_tests_properties(backend_selftest PROPERTIES TIMEOUT 120)
