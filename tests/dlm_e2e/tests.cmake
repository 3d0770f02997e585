include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

# The real DLM wizard through a whole run against the local backend (the fixture of tests/network). Its
# product is the launch probe (tests/win32), which records who started it.
fennix_add_test(dlm_e2e_test SOURCES dlm_e2e/DlmWizardTest.cpp PREFIXES win64 SERIAL)
add_dependencies(dlm_e2e_test FennixWebSetupDlm launch_probe sample_offer1_setup sample_offer_zip)
set_property(TEST dlm_e2e_test.win64 APPEND PROPERTY FIXTURES_REQUIRED backend)
set_property(TEST dlm_e2e_test.win64 APPEND PROPERTY ENVIRONMENT
    "FENNIX_BACKEND_DIR=${CMAKE_BINARY_DIR}/backend;FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo;FENNIX_INSTALLERS_DIR=${FENNIX_INSTALLERS_DIR};FENNIX_LAUNCH_PROBE=$<TARGET_FILE:launch_probe>")
fennix_save_artefacts(dlm_e2e_test)
