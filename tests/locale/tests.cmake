include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

fennix_add_test(locale_test SOURCES locale/LanguageManagerTest.cpp locale/fixtures.rc)
fennix_use_program_resources(locale_test)
target_include_directories(locale_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
fennix_add_spanish_variant(locale_test)
