# Run while installing: writes the server's systemd user unit from its template, naming the
# program and the protocol document under the prefix being installed to. Needs UNIT_IN, UNIT_OUT.
set(exec "${CMAKE_INSTALL_PREFIX}/bin/vornisel-server")
# systemd expands % and $ in a command line; a path with a blank or a quote must itself be quoted.
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "$" "$$" exec "${exec}")
if(exec MATCHES "[ \t\"'\\\\]")
    string(REGEX REPLACE "([\\\\\"])" "\\\\\\1" exec "${exec}")
    set(exec "\"${exec}\"")
endif()
set(VORNISEL_SERVER_EXEC "${exec}")

configure_file("${UNIT_IN}" "${UNIT_OUT}" @ONLY)
