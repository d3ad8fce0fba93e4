# The host names of the sites the program opens. They end up in C++ string
# literals, in the window's caption and in the shortcut files the about box
# writes, so each must be a plain DNS name: ASCII letters, digits, hyphens
# and dots (internationalised names in their ASCII "xn--" form), labels of 1
# to 63 characters that neither begin nor end with a hyphen, 253 in all.
# Anything else (a quote, a blank, a line break) stops the configure step.
#
# Included by the top-level CMakeLists.txt, where the hosts are set.

set(TINKO_SITE_KINDS M S R T P V G N)

function(tinko_check_host variable)
    set(host "${${variable}}")
    string(LENGTH "${host}" length)
    set(label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
    set(valid TRUE)
    if(length EQUAL 0 OR length GREATER 253 OR NOT host MATCHES "^${label}(\\.${label})*$")
        set(valid FALSE)
    endif()
    string(REPLACE "." ";" labels "${host}")
    foreach(part IN LISTS labels)
        string(LENGTH "${part}" partLength)
        if(partLength GREATER 63)
            set(valid FALSE)
        endif()
    endforeach()
    if(NOT valid)
        message(FATAL_ERROR "${variable} is not a valid host name: \"${host}\". "
            "Give a DNS name of ASCII letters, digits, hyphens and dots, such as "
            "www.example.org (an internationalised name in its xn-- form).")
    endif()
endfunction()
