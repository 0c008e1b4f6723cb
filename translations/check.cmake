# Fails when a text of the program has no German translation: lupdate run
# over the sources into a copy of the Linguist file must find no new text,
# and every entry of the copy must be finished.
#   cmake -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch> -P check.cmake
find_program(LUPDATE NAMES lupdate lupdate-qt5 REQUIRED)
file(MAKE_DIRECTORY ${WORK_DIR})
configure_file(${SOURCE_DIR}/translations/qt_de.ts ${WORK_DIR}/qt_de.ts COPYONLY)
execute_process(
    COMMAND ${LUPDATE} ${SOURCE_DIR}/src -ts ${WORK_DIR}/qt_de.ts -source-language en
            -target-language de_DE -no-obsolete -locations none
    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed:\n${out}")
endif()
if(NOT out MATCHES "\\(0 new and [0-9]+ already existing\\)")
    message(FATAL_ERROR "texts of the program that translations/qt_de.ts lacks:\n${out}")
endif()
file(READ ${WORK_DIR}/qt_de.ts ts)
string(REGEX MATCHALL "<translation type=\"unfinished\"[^<]*</translation>" unfinished "${ts}")
list(LENGTH unfinished count)
if(count GREATER 0)
    message(FATAL_ERROR "${count} unfinished German translations in translations/qt_de.ts")
endif()
