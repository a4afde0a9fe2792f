# cmake -DBINARY=path -P NoDisplayLibraries.cmake
# Fails when the binary is linked, directly or through another library, with
# Qt's widget or GUI libraries or any X, xcb, OpenGL or Wayland library.
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE linked RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${BINARY} failed")
endif()
string(REGEX MATCHALL "lib(Qt6Widgets|Qt6Gui|Qt6OpenGL|X11|xcb|GL|EGL|wayland)[^ \t\n]*" display "${linked}")
if(display)
  message(FATAL_ERROR "${BINARY} links display libraries: ${display}")
endif()
