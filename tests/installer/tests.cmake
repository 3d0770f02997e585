# The installer runner and the sample installers it runs (built under FENNIX_INSTALLERS_DIR).
set(_installer_support installer/InstallerTestSupport.cpp)
fennix_add_test(installer_runner_test SOURCES installer/InstallerRunnerTest.cpp installer/ZipExtractorTest.cpp
    ${_installer_support})
# The product folder in AppData and the machine-wide list of deletions at restart are shared with the
# wizard's own end-to-end runs in the same prefix.
fennix_add_test(installer_system_test SOURCES installer/InstallerSystemTest.cpp ${_installer_support} SERIAL)
foreach(_test installer_runner_test installer_system_test)
    add_dependencies(${_test} sample_product_setup sample_offer1_setup sample_offer2_setup sample_offer3_setup
        sample_offer_zip)
    foreach(_prefix ${FENNIX_TEST_PREFIXES})
        set_property(TEST ${_test}.${_prefix} APPEND PROPERTY ENVIRONMENT "FENNIX_INSTALLERS_DIR=${FENNIX_INSTALLERS_DIR}")
    endforeach()
endforeach()
