# Installs the build into a temporary DESTDIR with prefix /usr, checks the installed tree and starts
# the installed program through its bin/ link. Arguments: BUILD_DIR, APP_ID, VERSION.
set(dest ${BUILD_DIR}/install-tree-test)
file(REMOVE_RECURSE ${dest})
set(ENV{DESTDIR} ${dest})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
unset(ENV{DESTDIR})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed (${rc}):\n${out}\n${err}")
endif()

set(root ${dest}/usr)
set(private ${root}/lib/varistra)
foreach(f
    ${private}/varistra ${private}/libOrvex.so
    ${private}/libplan_shell.so ${private}/libplan_views.so ${private}/libplan_core.so
    ${private}/libplan_engine_link.so ${private}/libplan_algorithms.so
    ${private}/libtk_csv.so ${private}/libcustom_file_dialog.so ${private}/libzel_console.so
    ${root}/share/applications/${APP_ID}.desktop
    ${root}/share/metainfo/${APP_ID}.metainfo.xml
    ${root}/share/icons/hicolor/scalable/apps/${APP_ID}.svg)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "missing from the installed tree: ${f}")
  endif()
endforeach()
if(NOT IS_SYMLINK ${root}/bin/varistra)
  message(FATAL_ERROR "bin/varistra is not a link")
endif()
file(READ_SYMLINK ${root}/bin/varistra target)
if(IS_ABSOLUTE "${target}")
  message(FATAL_ERROR "bin/varistra points to an absolute path: ${target}")
endif()

# The installed program must find its libraries through its own folder, not through the build tree.
execute_process(COMMAND ${root}/bin/varistra --version
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Varistra ${VERSION}\n$")
  message(FATAL_ERROR "installed varistra --version: rc ${rc}, output '${out}', errors '${err}'")
endif()
find_program(LDD ldd)
if(LDD)
  execute_process(COMMAND ${LDD} ${private}/varistra OUTPUT_VARIABLE deps)
  if(deps MATCHES "not found" OR deps MATCHES "${BUILD_DIR}/bin/")
    message(FATAL_ERROR "installed varistra resolves its libraries wrongly:\n${deps}")
  endif()
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${root}/share/applications/${APP_ID}.desktop
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}${err}")
  endif()
else()
  message(STATUS "desktop-file-validate not installed: desktop file not validated")
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net ${root}/share/metainfo/${APP_ID}.metainfo.xml
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${out}${err}")
  endif()
else()
  message(STATUS "appstreamcli not installed: metainfo not validated")
endif()
file(REMOVE_RECURSE ${dest})
