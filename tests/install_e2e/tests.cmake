# The real wizard from the language page to the finish or error page, against the local backend (the
# fixture of tests/network, whose files are in <build>/backend) and the sample installers.
include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

# The program's own resources give the tests the locale texts the wizard shows.
fennix_add_test(install_e2e_test
    SOURCES install_e2e/InstallWizardTest.cpp installer/InstallerTestSupport.cpp
    PREFIXES win64 SERIAL)
fennix_use_program_resources(install_e2e_test)
add_dependencies(install_e2e_test FennixWebSetup FennixWebSetupQuick sample_product_setup sample_offer1_setup sample_offer2_setup
    sample_offer_zip)
set_property(TEST install_e2e_test.win64 APPEND PROPERTY FIXTURES_REQUIRED backend)
set_property(TEST install_e2e_test.win64 APPEND PROPERTY ENVIRONMENT
    "FENNIX_BACKEND_DIR=${CMAKE_BINARY_DIR}/backend;FENNIX_BACKEND_FILES=${CMAKE_SOURCE_DIR}/tools/backend/demo;FENNIX_INSTALLERS_DIR=${FENNIX_INSTALLERS_DIR}")
fennix_save_artefacts(install_e2e_test)
