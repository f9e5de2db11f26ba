# One backend per file and operating system: a file X_win.cpp is the Windows
# side of X.cpp. On Windows it replaces X.cpp (or stands alone); elsewhere it
# is left out.
function(qarvel_os_sources var)
    set(kept "")
    foreach(file IN LISTS ${var})
        if(file MATCHES "_win\\.cpp$")
            if(WIN32)
                list(APPEND kept ${file})
            endif()
        else()
            string(REGEX REPLACE "\\.cpp$" "_win.cpp" windows_side "${file}")
            if(NOT (WIN32 AND EXISTS "${windows_side}"))
                list(APPEND kept ${file})
            endif()
        endif()
    endforeach()
    set(${var} "${kept}" PARENT_SCOPE)
endfunction()
