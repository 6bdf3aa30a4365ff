# cmake --install into a scratch root: the udev rule for the DS9490 lands where
# udev reads rules, and names the adapter's USB id.
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
if(NOT EXISTS ${root}/usr/local/bin/onewire-port)
    message(FATAL_ERROR "onewire-port is not installed")
endif()
file(REMOVE_RECURSE ${root})
