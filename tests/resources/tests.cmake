fennix_add_test(resources_test SOURCES resources/ResourcesTest.cpp PREFIXES win64 SERIAL)
add_dependencies(resources_test FennixWebSetup)
