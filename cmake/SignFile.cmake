# cmake -DFILE=<program> -DTOOL=<osslsigncode> -DPKCS12=<file> -DPASSWORD_FILE=<file> -DNAME=<text> -DURL=<url>
#       -P SignFile.cmake
# Signs the program in place: into a copy first, which replaces it only once signing succeeded, with the
# program's own mode (the signing tool writes a file that is not executable).
execute_process(
    COMMAND ${TOOL} sign -pkcs12 ${PKCS12} -readpass ${PASSWORD_FILE} -h sha256 -n ${NAME} -i ${URL}
        -in ${FILE} -out ${FILE}.signed
    RESULT_VARIABLE _result
    OUTPUT_VARIABLE _output
    ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
    file(REMOVE ${FILE}.signed)
    message(FATAL_ERROR "Signing ${FILE} failed:\n${_output}")
endif()
file(CHMOD ${FILE}.signed FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
file(RENAME ${FILE}.signed ${FILE})
