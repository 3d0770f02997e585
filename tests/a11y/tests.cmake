# Keyboard, screen readers and high DPI: the real wizard walked by keys alone with every name read, and
# every page's texts measured in the test process. Both run at 96 DPI in the usual prefix and at 144 DPI
# in a copy of it (Wine reads LogPixels per process, so the copy keeps other tests at 96).
include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

set(FENNIX_PREFIX_DPI144 ${FENNIX_WINE_DIR}/wine64-dpi144)
add_test(NAME harness.dpi144.start
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../harness/dpi-prefix.sh start ${FENNIX_PREFIX_win64} ${FENNIX_PREFIX_DPI144} 144)
add_test(NAME harness.dpi144.stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/../harness/dpi-prefix.sh stop ${FENNIX_PREFIX_DPI144})
set_tests_properties(harness.dpi144.start PROPERTIES FIXTURES_SETUP dpi144 ENVIRONMENT "FENNIX_WINE=${FENNIX_WINE_LOADER}")
set_tests_properties(harness.dpi144.stop PROPERTIES FIXTURES_CLEANUP dpi144)

fennix_add_test(accessible_name_test SOURCES a11y/AccessibleNameTest.cpp PREFIXES win64)

fennix_add_test(keyboard_e2e_test SOURCES a11y/KeyboardWalkTest.cpp PREFIXES win64 SERIAL)
target_link_libraries(keyboard_e2e_test PRIVATE oleacc)
add_dependencies(keyboard_e2e_test FennixWebSetup sample_product_setup sample_offer1_setup)
fennix_add_spanish_variant(keyboard_e2e_test)
fennix_save_artefacts(keyboard_e2e_test)

fennix_add_test(layout_test SOURCES a11y/LayoutTest.cpp contentpages/PageHost.cpp contentpages/contentpages.rc
    PREFIXES win64)
target_include_directories(layout_test PRIVATE ${CMAKE_SOURCE_DIR}/resources)

# The same tests once more in the prefix at 144 DPI.
function(a11y_add_dpi144_variant test)
    get_test_property(${test} ENVIRONMENT _env)
    get_test_property(${test} RESOURCE_LOCK _lock)
    if(NOT _lock)
        set(_lock)
    endif()
    get_test_property(${test} FIXTURES_REQUIRED _fixtures)
    string(REPLACE "WINEPREFIX=${FENNIX_PREFIX_win64}" "WINEPREFIX=${FENNIX_PREFIX_DPI144}" _env "${_env}")
    string(REGEX REPLACE "FENNIX_ARTEFACT_DIR=[^;]*" "FENNIX_ARTEFACT_DIR=${CMAKE_BINARY_DIR}/artefacts/${test}.dpi144" _env "${_env}")
    string(REGEX MATCH "^[^.]+" _exe ${test})
    add_test(NAME ${test}.dpi144 COMMAND ${_exe} --gtest_color=no)
    set_tests_properties(${test}.dpi144 PROPERTIES
        FIXTURES_REQUIRED "${_fixtures};dpi144" TIMEOUT ${FENNIX_TEST_TIMEOUT} ENVIRONMENT "${_env};FENNIX_EXPECT_DPI=144")
    # One test at a time in the copy: each starts the copy's wineserver in its own test slot.
    set_tests_properties(${test}.dpi144 PROPERTIES RESOURCE_LOCK "${_lock};dpi144")
endfunction()

# The backend and the sample installers are known only once their folders' tests.cmake have run.
function(a11y_use_backend)
    foreach(test keyboard_e2e_test.win64 keyboard_e2e_test.win64.es)
        set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED backend)
        set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK backend)
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
            "FENNIX_BACKEND_DIR=${FENNIX_BACKEND_RUN_DIR};FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo;FENNIX_INSTALLERS_DIR=${FENNIX_INSTALLERS_DIR}")
    endforeach()
    a11y_add_dpi144_variant(keyboard_e2e_test.win64)
    a11y_add_dpi144_variant(layout_test.win64)
endfunction()
cmake_language(DEFER CALL a11y_use_backend)
