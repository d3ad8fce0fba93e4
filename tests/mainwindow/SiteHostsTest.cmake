# Runs the configure step's host check on names that must pass and names
# that must stop it: cmake -DCHECK=<SiteHosts.cmake> -DWORK=<folder> -P SiteHostsTest.cmake
cmake_minimum_required(VERSION 3.25)
string(ASCII 13 CR)
string(ASCII 10 LF)
set(accepted "www.tinko.example" "127.0.0.1" "xn--fiqs8s.example" "a-b.c-d.example")
set(refused "" "a\"b.example" "a b.example" "x.example${CR}" "x.example${LF}evil" "-x.example"
    "x-.example" "a..b" "münchen.example" "a.example/path" "a.example:80" "a\\b"
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.example")
foreach(expected accepted refused)
    foreach(host IN LISTS ${expected})
        # The name goes in as written, whatever bytes it holds.
        file(WRITE ${WORK}/host.cmake
            "set(TINKO_HOST_S [==[${host}]==])\ninclude(${CHECK})\ntinko_check_host(TINKO_HOST_S)\n")
        execute_process(COMMAND ${CMAKE_COMMAND} -P ${WORK}/host.cmake
            RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
        set(got refused)
        if(result EQUAL 0)
            set(got accepted)
        endif()
        if(NOT got STREQUAL expected)
            message(SEND_ERROR "\"${host}\" was ${got}")
        endif()
    endforeach()
endforeach()
