# System DLLs outside Windows' known list are delay-loaded: they load at first use, after the program
# has limited the DLL search to System32, so a file of the same name beside the program is never taken.
# The shell is delay-loaded too: no first page needs it, so it stays out of the start-up.
# GNU ld has no /DELAYLOAD; each delay-import library is made by dlltool from the functions that the
# toolchain's own import library lists. Sets FENNIX_DELAY_IMPORT_LIBS to the libraries' paths.

set(FENNIX_DELAY_IMPORT_LIBS)
set(_dir ${CMAKE_BINARY_DIR}/delayload)
foreach(_dll ${FENNIX_DELAY_LOADED})
    unset(_import)
    find_library(_import NAMES lib${_dll}.a NO_CACHE REQUIRED)
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${_import}
        OUTPUT_VARIABLE _symbols COMMAND_ERROR_IS_FATAL ANY)
    # One code symbol per function; the i686 ones carry C's underscore and stdcall's "@bytes".
    string(REGEX MATCHALL " T [^\r\n]+" _functions "${_symbols}")
    list(TRANSFORM _functions REPLACE "^ T " "")
    set(_kill_at)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(TRANSFORM _functions REPLACE "^_" "")
        set(_kill_at --kill-at)
    endif()
    list(JOIN _functions "\n" _exports)
    file(CONFIGURE OUTPUT ${_dir}/${_dll}.def CONTENT "LIBRARY ${_dll}.dll\nEXPORTS\n${_exports}\n")
    set(_library ${_dir}/lib${_dll}-delay.a)
    if(NOT EXISTS ${_library} OR ${_dir}/${_dll}.def IS_NEWER_THAN ${_library})
        execute_process(COMMAND ${CMAKE_DLLTOOL} ${_kill_at} --input-def ${_dir}/${_dll}.def --dllname ${_dll}.dll
            --output-delaylib ${_library} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND FENNIX_DELAY_IMPORT_LIBS ${_library})
endforeach()
