# Offers: the skipping decision and the response reading (no network), the loading and product pages
# in the test process, and the real wizard against the local backend.
include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

fennix_add_test(offers_unit_test SOURCES offers/OfferNavigationTest.cpp offers/ConfigurationResponseTest.cpp
    offers/ConfigurationCorpusTest.cpp)
foreach(_prefix ${FENNIX_TEST_PREFIXES})
    set_property(TEST offers_unit_test.${_prefix} APPEND PROPERTY ENVIRONMENT
        "FENNIX_DEMO_SCENARIO=${CMAKE_SOURCE_DIR}/tools/backend/demo-scenario.json")
endforeach()

# The backend is one server on port 443 per slot: the 64-bit prefix only.
function(offers_use_backend test)
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED backend)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
        "FENNIX_BACKEND_DIR=${FENNIX_BACKEND_RUN_DIR};FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo")
endfunction()

fennix_add_test(offers_pages_test
    SOURCES offers/OfferPagesTest.cpp contentpages/PageHost.cpp
    PREFIXES win64)
fennix_use_program_resources(offers_pages_test)
offers_use_backend(offers_pages_test.win64)

fennix_add_test(offers_e2e_test SOURCES offers/OffersWizardTest.cpp
    PREFIXES win64 SERIAL)
add_dependencies(offers_e2e_test FennixWebSetup)
offers_use_backend(offers_e2e_test.win64)
# Once more under a Spanish user locale, for the pictures in both languages.
get_test_property(offers_e2e_test.win64 ENVIRONMENT _offers_env)
add_test(NAME offers_e2e_test.win64.es COMMAND offers_e2e_test --gtest_color=no)
set_tests_properties(offers_e2e_test.win64.es PROPERTIES
    FIXTURES_REQUIRED "wine;backend" TIMEOUT 600 RESOURCE_GROUPS "slot:1"
    ENVIRONMENT "${_offers_env};LC_ALL=es_ES.UTF-8;FENNIX_EXPECT_LANGUAGE=es")
set_tests_properties(offers_e2e_test.win64 PROPERTIES TIMEOUT 600)
fennix_save_artefacts(offers_e2e_test)
