# Content pages created in the test process: the test carries the program's templates, texts and images.
fennix_add_test(contentpages_test SOURCES
    contentpages/PageHost.cpp
    contentpages/WelcomePageTest.cpp
    contentpages/LicensePageTest.cpp
    contentpages/ClassicPagesTest.cpp
    contentpages/LinkButtonTest.cpp
    contentpages/contentpages.rc)
target_include_directories(contentpages_test PRIVATE ${CMAKE_SOURCE_DIR}/resources)
file(GLOB_RECURSE _contentpages_resources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
set_source_files_properties(contentpages/contentpages.rc PROPERTIES OBJECT_DEPENDS "${_contentpages_resources}")

# A tool, not a test: pictures of every page in every language (see Screens.cpp).
add_executable(contentpages_screens contentpages/PageHost.cpp contentpages/Screens.cpp contentpages/contentpages.rc)
target_include_directories(contentpages_screens PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(contentpages_screens PRIVATE ${FENNIX_WARNINGS})
target_link_libraries(contentpages_screens PRIVATE fennix_test_config fennix_core fennix_test_support GTest::gtest_main)
