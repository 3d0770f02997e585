# Authenticode signing of the shipped programs with osslsigncode, after they are linked. The certificate
# and its key come as one PKCS#12 file and its password, as CMake variables or, on the first configure,
# from the environment (FENNIX_SIGN_PKCS12, FENNIX_SIGN_PASSWORD). Without one the build is unsigned.
#
# fennix_sign(target) signs the target's file in place, as its last POST_BUILD step.
# fennix_release(target) adds the target `release` (not built by default): it refuses an unsigned build
# and writes <program>.sha256 beside the signed program.
include_guard(GLOBAL)

set(FENNIX_SIGN_PKCS12 "$ENV{FENNIX_SIGN_PKCS12}" CACHE FILEPATH
    "Code-signing certificate and key (PKCS#12); empty for an unsigned build")
set(FENNIX_SIGN_PASSWORD "$ENV{FENNIX_SIGN_PASSWORD}" CACHE STRING "Password of FENNIX_SIGN_PKCS12")
mark_as_advanced(FENNIX_SIGN_PASSWORD)

if(FENNIX_SIGN_PKCS12)
    if(NOT EXISTS "${FENNIX_SIGN_PKCS12}")
        message(FATAL_ERROR "FENNIX_SIGN_PKCS12 names no file: ${FENNIX_SIGN_PKCS12}")
    endif()
    find_program(FENNIX_OSSLSIGNCODE osslsigncode REQUIRED)
    # Read from a file only the owner can read: a password on a command line is visible to every user.
    set(FENNIX_SIGN_PASSWORD_FILE ${CMAKE_BINARY_DIR}/signing/password)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/signing)
    file(WRITE ${FENNIX_SIGN_PASSWORD_FILE} "${FENNIX_SIGN_PASSWORD}")
    file(CHMOD ${FENNIX_SIGN_PASSWORD_FILE} PERMISSIONS OWNER_READ OWNER_WRITE)
    set(FENNIX_SIGNED ON)
    message(STATUS "Signing the programs with ${FENNIX_SIGN_PKCS12}")
else()
    set(FENNIX_SIGNED OFF)
    message(STATUS "No code-signing certificate (FENNIX_SIGN_PKCS12): the programs are built unsigned")
endif()

function(fennix_sign target)
    if(NOT FENNIX_SIGNED)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DTOOL=${FENNIX_OSSLSIGNCODE}
            -DPKCS12=${FENNIX_SIGN_PKCS12} -DPASSWORD_FILE=${FENNIX_SIGN_PASSWORD_FILE} "-DNAME=Fennix Web Setup"
            -DURL=${FENNIX_WEBSITE_ORIGIN} -P ${CMAKE_SOURCE_DIR}/cmake/SignFile.cmake
        COMMENT "Signing ${target}"
        VERBATIM)
endfunction()

function(fennix_release target)
    if(FENNIX_SIGNED)
        add_custom_target(release
            COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -P ${CMAKE_SOURCE_DIR}/cmake/WriteSha256.cmake
            COMMENT "SHA-256 of the signed $<TARGET_FILE_NAME:${target}>"
            VERBATIM)
        add_dependencies(release ${target})
    else()
        add_custom_target(release
            COMMAND ${CMAKE_COMMAND} -E echo "release: a release is signed; configure FENNIX_SIGN_PKCS12 first"
            COMMAND ${CMAKE_COMMAND} -E false
            VERBATIM)
    endif()
endfunction()
