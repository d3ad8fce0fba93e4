# Ruffle, the Flash Player emulator that plays the song pages (.swf): one
# exact version from the npm registry, checked against the hash recorded
# here, or the same files from a folder for builds without network
# (-DTINKO_RUFFLE_DIR=<folder holding ruffle.js>). Without either the program
# is built without it and says so on the song pages.
#
# Sets TINKO_RUFFLE_FOUND; the files go to share/tinko-piano/ruffle in the
# build folder (where the program looks, as it does once installed) and are
# installed with their licences.
set(TINKO_RUFFLE_VERSION 0.6.0)
set(TINKO_RUFFLE_SHA512
    3f65f5cc310d06888bb766633dcb14cda0f1a11edf545d9ed54fdb8bb85b2004048e4ca4c658d2a06f0081bcb01ef9555732fd639b4864c46a0f0226df58e03c)
set(TINKO_RUFFLE_DIR "" CACHE PATH
    "Folder with Ruffle's files (ruffle.js, *.wasm, licences) instead of the npm registry")

set(ruffle_output ${CMAKE_BINARY_DIR}/share/tinko-piano/ruffle)
set(ruffle_download ${CMAKE_BINARY_DIR}/_ruffle)
set(ruffle_tarball ${ruffle_download}/ruffle-rs-ruffle-${TINKO_RUFFLE_VERSION}.tgz)

# Whether `tarball` is the pinned one.
function(tinko_ruffle_tarball_ok result)
    set(ok FALSE)
    if(EXISTS ${ruffle_tarball})
        file(SHA512 ${ruffle_tarball} actual)
        if(actual STREQUAL TINKO_RUFFLE_SHA512)
            set(ok TRUE)
        endif()
    endif()
    set(${result} ${ok} PARENT_SCOPE)
endfunction()

set(ruffle_source "")
set(ruffle_problem "")
if(TINKO_RUFFLE_DIR)
    set(ruffle_source ${TINKO_RUFFLE_DIR})
else()
    tinko_ruffle_tarball_ok(ruffle_ok)
    if(NOT ruffle_ok)
        find_program(TINKO_NPM npm)
        if(TINKO_NPM)
            file(REMOVE_RECURSE ${ruffle_download})
            file(MAKE_DIRECTORY ${ruffle_download})
            execute_process(
                COMMAND ${TINKO_NPM} pack --silent @ruffle-rs/ruffle@${TINKO_RUFFLE_VERSION}
                WORKING_DIRECTORY ${ruffle_download}
                RESULT_VARIABLE npm_status OUTPUT_QUIET ERROR_VARIABLE npm_error
                TIMEOUT 300)
            tinko_ruffle_tarball_ok(ruffle_ok)
            if(NOT npm_status EQUAL 0)
                string(STRIP "${npm_error}" npm_error)
                set(ruffle_problem "npm pack failed: ${npm_error}")
            elseif(NOT ruffle_ok)
                set(ruffle_problem "the package from the registry does not match the recorded hash")
            endif()
        else()
            set(ruffle_problem "npm is not installed")
        endif()
    endif()
    if(ruffle_ok)
        file(REMOVE_RECURSE ${ruffle_download}/package)
        file(ARCHIVE_EXTRACT INPUT ${ruffle_tarball} DESTINATION ${ruffle_download})
        set(ruffle_source ${ruffle_download}/package)
    endif()
endif()

file(REMOVE_RECURSE ${ruffle_output})
set(TINKO_RUFFLE_FOUND FALSE)
if(ruffle_source AND EXISTS ${ruffle_source}/ruffle.js)
    # What the player loads, and its licences; not the source maps.
    file(GLOB ruffle_files ${ruffle_source}/*.js ${ruffle_source}/*.wasm
        ${ruffle_source}/LICENSE*)
    file(COPY ${ruffle_files} DESTINATION ${ruffle_output})
    install(DIRECTORY ${ruffle_output}/ DESTINATION share/tinko-piano/ruffle)
    set(TINKO_RUFFLE_FOUND TRUE)
elseif(ruffle_source)
    set(ruffle_problem "${ruffle_source} holds no ruffle.js")
endif()
if(NOT TINKO_RUFFLE_FOUND)
    message(WARNING "Building without Ruffle ${TINKO_RUFFLE_VERSION} (${ruffle_problem}): "
        "the Flash song pages will say that they cannot be played.")
endif()
