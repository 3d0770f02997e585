include(${CMAKE_CURRENT_LIST_DIR}/../app/ProgramResources.cmake)

fennix_add_test(startup_e2e_test SOURCES e2e/StartupTest.cpp e2e/WizardDriver.cpp SERIAL)
add_dependencies(startup_e2e_test FennixWebSetup FennixWebSetupDlm FennixWebSetupUnknown)

fennix_add_test(wizard_e2e_test SOURCES e2e/WizardTest.cpp e2e/WizardDriver.cpp SERIAL)
add_dependencies(wizard_e2e_test FennixWebSetup)
fennix_add_spanish_variant(wizard_e2e_test)
fennix_save_artefacts(wizard_e2e_test)
