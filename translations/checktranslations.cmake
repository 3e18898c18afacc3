# Fails when a text of the window has no finished translation in one of the languages.
# lupdate collects the texts of the sources into copies of the .ts files (the files themselves are
# left alone), and lrelease counts what is missing. Line numbers play no part: lupdate runs without
# them.
#
# cmake -DLUPDATE=... -DLRELEASE=... -DLUPDATE_OPTIONS=... -DSOURCES=... -DTS_FILES=... \
#       -DWORK_DIR=... -P checktranslations.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(failures 0)
foreach(ts ${TS_FILES})
    get_filename_component(name ${ts} NAME_WE)
    set(copy ${WORK_DIR}/${name}.ts)
    file(COPY_FILE ${ts} ${copy})
    execute_process(COMMAND ${LUPDATE} ${LUPDATE_OPTIONS} ${SOURCES} -ts ${copy}
                    RESULT_VARIABLE lupdate_result OUTPUT_VARIABLE lupdate_output
                    ERROR_VARIABLE lupdate_output)
    if(NOT lupdate_result EQUAL 0)
        message(FATAL_ERROR "lupdate failed for ${name}:\n${lupdate_output}")
    endif()
    execute_process(COMMAND ${LRELEASE} ${copy} -qm ${WORK_DIR}/${name}.qm
                    RESULT_VARIABLE lrelease_result OUTPUT_VARIABLE report ERROR_VARIABLE report)
    if(NOT lrelease_result EQUAL 0)
        message(FATAL_ERROR "lrelease failed for ${name}:\n${report}")
    endif()
    message(STATUS "${name}: ${report}")
    set(unfinished 0)
    set(untranslated 0)
    if(report MATCHES "([0-9]+) unfinished")
        set(unfinished ${CMAKE_MATCH_1})
    endif()
    if(report MATCHES "Ignored ([0-9]+) untranslated")
        set(untranslated ${CMAKE_MATCH_1})
    endif()
    if(NOT report MATCHES "Generated [0-9]+ translation")
        message(SEND_ERROR "${name}: lrelease said nothing about the translations:\n${report}")
        math(EXPR failures "${failures} + 1")
    elseif(unfinished GREATER 0 OR untranslated GREATER 0)
        file(READ ${copy} content)
        string(REGEX MATCHALL "<source>([^<]|<byte[^>]*>)*</source>[ \n]*<translation type=\"unfinished\""
               missing "${content}")
        string(REPLACE ";" "\n" missing "${missing}")
        message(SEND_ERROR "${name}: ${unfinished} unfinished and ${untranslated} untranslated "
                           "texts. Run the target update-translations and translate them:\n"
                           "${missing}")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} of the translations are incomplete")
endif()
