include_guard(GLOBAL)

# Test programs that create real windows carry the program's own resources (templates, locale
# documents, images, manifest) in place of the test version resource.
function(fennix_use_program_resources target)
    get_target_property(_sources ${target} SOURCES)
    list(FILTER _sources EXCLUDE REGEX "test_version\\.rc$")
    set_property(TARGET ${target} PROPERTY SOURCES ${_sources} ${CMAKE_SOURCE_DIR}/resources/app.rc)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/generated)
    file(GLOB_RECURSE _files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/app.rc PROPERTIES OBJECT_DEPENDS "${_files}")
endfunction()

# The same tests once more, under a Spanish user locale (Wine takes it from LC_ALL).
function(fennix_add_spanish_variant name)
    foreach(prefix ${FENNIX_TEST_PREFIXES})
        get_test_property(${name}.${prefix} ENVIRONMENT _env)
        get_test_property(${name}.${prefix} RESOURCE_LOCK _lock)
        add_test(NAME ${name}.${prefix}.es COMMAND ${name} --gtest_color=no)
        set_tests_properties(${name}.${prefix}.es PROPERTIES
            FIXTURES_REQUIRED wine
            TIMEOUT ${FENNIX_TEST_TIMEOUT}
            ENVIRONMENT "${_env};LC_ALL=es_ES.UTF-8;FENNIX_EXPECT_LANGUAGE=es")
        if(_lock)
            set_tests_properties(${name}.${prefix}.es PROPERTIES RESOURCE_LOCK "${_lock}")
        endif()
    endforeach()
endfunction()

# Screenshots that tests save for people to look at.
function(fennix_save_artefacts name)
    foreach(test ${name}.win64 ${name}.win32 ${name}.win64.es ${name}.win32.es)
        if(TEST ${test})
            set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "FENNIX_ARTEFACT_DIR=${CMAKE_BINARY_DIR}/artefacts/${test}")
        endif()
    endforeach()
endfunction()
