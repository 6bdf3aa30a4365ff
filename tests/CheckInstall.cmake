# cmake --install into a scratch root: the udev rule for the DS9490 lands where
# udev reads rules, and names the adapter's USB id; the programs land in bin/,
# the driver library in the private folder the program looks in.
set(root ${WORK}/install-root)
file(REMOVE_RECURSE ${root})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
                        ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr/local
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(rule ${root}/etc/udev/rules.d/60-velmora-ds9490.rules)
if(NOT EXISTS ${rule})
    message(FATAL_ERROR "no udev rule at ${rule}")
endif()
file(READ ${rule} text)
if(NOT text MATCHES "ATTRS{idVendor}==\"04fa\", ATTRS{idProduct}==\"2490\"")
    message(FATAL_ERROR "the udev rule does not name 04fa:2490")
endif()
set(files bin/onewire-port bin/onewire-sim bin/velmora-decode share/man/man1/onewire-port.1.gz)
if(GUI)
    list(APPEND files bin/velmora lib/velmora/libIBFS32.so
                      share/applications/org.velmora.Velmora.desktop share/man/man1/velmora.1.gz)
endif()
foreach(file ${files})
    if(NOT EXISTS ${root}/usr/local/${file})
        message(FATAL_ERROR "${file} is not installed")
    endif()
endforeach()
file(REMOVE_RECURSE ${root})
