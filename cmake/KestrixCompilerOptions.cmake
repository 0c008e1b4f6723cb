# Compiler settings shared by every target of the project.
#
# kestrix::warnings is linked privately by our own targets, so the warning
# flags apply to our code and not to Qt's or Google Benchmark's headers.

add_library(kestrix_warnings INTERFACE)
add_library(kestrix::warnings ALIAS kestrix_warnings)
target_compile_options(kestrix_warnings INTERFACE -Wall -Wextra)
if(KESTRIX_WERROR)
    target_compile_options(kestrix_warnings INTERFACE -Werror)
endif()

if(KESTRIX_SANITIZE)
    # Applied globally so that every object file, including the test
    # helpers started as separate processes, carries the instrumentation.
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(KESTRIX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KESTRIX_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Coverage instrumentation for everything; the fuzz driver adds the
    # libFuzzer main itself.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
