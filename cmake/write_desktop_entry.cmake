# Run while installing: writes the applications menu entry from its template, with Exec naming the
# launcher under the prefix being installed to. Needs ENTRY_IN and ENTRY_OUT.
set(exec "${CMAKE_INSTALL_PREFIX}/bin/vornisel-control")
# A path with a reserved character is quoted; inside the quotes \ " ` $ take a backslash, and the
# value's own escaping doubles every backslash once more. '%' would start a field code.
if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`[]")
    string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" exec "${exec}")
    string(REPLACE "\\" "\\\\" exec "\"${exec}\"")
endif()
string(REPLACE "%" "%%" exec "${exec}")
set(VORNISEL_LAUNCHER_EXEC "${exec}")
configure_file("${ENTRY_IN}" "${ENTRY_OUT}" @ONLY)
