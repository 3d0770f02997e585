# The shipped programs' Authenticode signatures, read without running them (cmake/Sign.cmake). The
# version resource after signing is read the way Windows reads it by resources_test, on the signed file.
if(FENNIX_SIGNED)
    set(FENNIX_SIGN_CA "${FENNIX_DEPS_DIR}/ca/ca.crt" CACHE FILEPATH "CA the signature tests verify the programs against")
    foreach(_wizard FennixWebSetup FennixWebSetupDlm)
        add_test(NAME signature.${_wizard}
            COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check-signature.py $<TARGET_FILE:${_wizard}> ${FENNIX_SIGN_CA})
    endforeach()
endif()
