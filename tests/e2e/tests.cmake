include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

fennix_add_test(startup_e2e_test SOURCES e2e/StartupTest.cpp SERIAL)
add_dependencies(startup_e2e_test FennixWebSetup FennixWebSetupDlm FennixWebSetupUnknown)

fennix_add_test(wizard_e2e_test SOURCES e2e/WizardTest.cpp SERIAL)
add_dependencies(wizard_e2e_test FennixWebSetup)
fennix_add_spanish_variant(wizard_e2e_test)
fennix_save_artefacts(wizard_e2e_test)

# A copy of the wizard among DLLs named like the ones it loads, each of which marks its own loading.
add_library(planted_dll SHARED e2e/PlantedDll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "")
target_compile_options(planted_dll PRIVATE ${FENNIX_WARNINGS})
fennix_add_test(dll_search_e2e_test SOURCES e2e/DllSearchTest.cpp SERIAL)
add_dependencies(dll_search_e2e_test FennixWebSetup planted_dll)
foreach(prefix ${FENNIX_TEST_PREFIXES})
    set_property(TEST dll_search_e2e_test.${prefix} APPEND PROPERTY ENVIRONMENT "FENNIX_PLANTED_DLL=$<TARGET_FILE:planted_dll>")
endforeach()

# Next on the language page fetches the configuration from the local backend. Its fixture folder is
# known only once tests/network/tests.cmake (included after this file) has run, hence the deferral.
function(wizard_e2e_use_backend)
    foreach(prefix ${FENNIX_TEST_PREFIXES})
        foreach(test wizard_e2e_test.${prefix} wizard_e2e_test.${prefix}.es dll_search_e2e_test.${prefix})
            set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED backend)
            set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                "FENNIX_BACKEND_DIR=${FENNIX_BACKEND_RUN_DIR};FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo")
        endforeach()
    endforeach()
endfunction()
cmake_language(DEFER CALL wizard_e2e_use_backend)
