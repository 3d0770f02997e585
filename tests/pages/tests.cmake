include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

fennix_add_test(pages_test SOURCES pages/PagesTest.cpp)
fennix_use_program_resources(pages_test)
fennix_add_spanish_variant(pages_test)
