include(${CMAKE_CURRENT_LIST_DIR}/ProgramResources.cmake)

fennix_add_test(page_list_test SOURCES app/PageListTest.cpp)

fennix_add_test(image_test SOURCES app/StaticFromImageTest.cpp)
fennix_use_program_resources(image_test)

# The wizard window holds the machine-wide single-instance mutex while it exists.
fennix_add_test(wizard_frame_test SOURCES app/WizardFrameTest.cpp SERIAL)
fennix_use_program_resources(wizard_frame_test)
fennix_save_artefacts(wizard_frame_test)

# Next on the language page fetches the configuration from the local backend. Its fixture folder is
# known only once tests/network/tests.cmake (included after this file) has run, hence the deferral.
function(wizard_frame_use_backend)
    foreach(prefix ${FENNIX_TEST_PREFIXES})
        set(test wizard_frame_test.${prefix})
        set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED backend)
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
            "FENNIX_BACKEND_DIR=${FENNIX_BACKEND_RUN_DIR};FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo")
    endforeach()
endfunction()
cmake_language(DEFER CALL wizard_frame_use_backend)
