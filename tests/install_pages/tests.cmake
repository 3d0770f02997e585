# Download and finish pages hosted in the test process, with the program's templates, texts and images.
include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

# Pure decisions: which locations are used as they stand.
fennix_add_test(install_pages_url_test SOURCES install_pages/DownloadUrlTest.cpp install_pages/InstallPlanTest.cpp)

# Against the local backend (the fixture of tests/network, whose files are in <build>/backend) and the
# sample installers; port 443 is one, so the 64-bit prefix only.
fennix_add_test(install_pages_test
    SOURCES contentpages/PageHost.cpp install_pages/InstallPagesTest.cpp
    PREFIXES win64)
fennix_use_program_resources(install_pages_test)
add_dependencies(install_pages_test sample_product_setup sample_offer1_setup sample_offer2_setup sample_offer_zip)
set_property(TEST install_pages_test.win64 APPEND PROPERTY FIXTURES_REQUIRED backend)
set_property(TEST install_pages_test.win64 APPEND PROPERTY ENVIRONMENT
    "FENNIX_BACKEND_DIR=${CMAKE_BINARY_DIR}/backend;FENNIX_BACKEND_FILES=${FENNIX_INSTALLERS_DIR}")

# A tool, not a test: shows the pages one after another so that screenshots can be taken.
add_executable(install_pages_screens contentpages/PageHost.cpp install_pages/Screens.cpp)
target_include_directories(install_pages_screens PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(install_pages_screens PRIVATE ${FENNIX_WARNINGS})
target_link_libraries(install_pages_screens PRIVATE fennix_test_config fennix_core fennix_test_support GTest::gtest_main)
fennix_use_program_resources(install_pages_screens)
