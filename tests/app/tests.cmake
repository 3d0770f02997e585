include(${CMAKE_CURRENT_LIST_DIR}/ProgramResources.cmake)

fennix_add_test(image_test SOURCES app/StaticFromImageTest.cpp)
fennix_use_program_resources(image_test)

# The wizard window holds the machine-wide single-instance mutex while it exists.
fennix_add_test(wizard_frame_test SOURCES app/WizardFrameTest.cpp e2e/WizardDriver.cpp SERIAL)
fennix_use_program_resources(wizard_frame_test)
fennix_save_artefacts(wizard_frame_test)
