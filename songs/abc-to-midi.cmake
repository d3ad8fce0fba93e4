# One song from ABC to a Standard MIDI File. abc2midi reports a fault in the
# text on its output and still ends well, so any word from it fails the
# build: a song must play as written.
execute_process(COMMAND ${ABC2MIDI} ${SOURCE} -o ${SONG} -silent
    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
string(STRIP "${said}" said)
if(NOT result EQUAL 0 OR NOT said STREQUAL "" OR NOT EXISTS ${SONG})
    file(REMOVE ${SONG})
    message(FATAL_ERROR "abc2midi could not make ${SONG} from ${SOURCE}: ${said}")
endif()
