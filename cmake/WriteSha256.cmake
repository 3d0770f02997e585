# cmake -DFILE=<program> -P WriteSha256.cmake: writes <program>.sha256 in the format `sha256sum -c` reads.
if(NOT EXISTS "${FILE}")
    message(FATAL_ERROR "no file ${FILE}")
endif()
file(SHA256 "${FILE}" _digest)
get_filename_component(_name "${FILE}" NAME)
file(WRITE "${FILE}.sha256" "${_digest}  ${_name}\n")
message(STATUS "${FILE}.sha256: ${_digest}")
