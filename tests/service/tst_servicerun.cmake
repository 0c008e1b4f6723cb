# The service executable against a Client in this process.
kestrix_add_qtest(tst_servicerun
    SOURCES tst_servicerun.cpp
    LIBRARIES servicelink_testsupport
    TIMEOUT 180)
target_compile_definitions(tst_servicerun PRIVATE KESTRIX_SERVICE="$<TARGET_FILE:kestrix-service>")
add_dependencies(tst_servicerun kestrix-service)
