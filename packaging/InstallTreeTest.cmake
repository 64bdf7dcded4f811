# Installs the build into a temporary DESTDIR with prefix /usr, checks the installed tree, validates
# the desktop entry and metainfo when the validators are installed, and starts the installed program
# through its bin/ link. Arguments: BUILD_DIR, APP_ID, VERSION.
function(run_or_fail what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

set(dest ${BUILD_DIR}/install-tree-test)
file(REMOVE_RECURSE ${dest})
set(ENV{DESTDIR} ${dest})
run_or_fail("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
unset(ENV{DESTDIR})

set(root ${dest}/usr)
set(share ${root}/share)
foreach(f varistra libOrvex.so libplan_shell.so libplan_views.so libplan_core.so libplan_engine_link.so
          libplan_algorithms.so libtk_csv.so libcustom_file_dialog.so libzel_console.so)
  list(APPEND expected ${root}/lib/varistra/${f})
endforeach()
foreach(f ${expected} ${share}/applications/${APP_ID}.desktop ${share}/metainfo/${APP_ID}.metainfo.xml
          ${share}/icons/hicolor/scalable/apps/${APP_ID}.svg)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "missing from the installed tree: ${f}")
  endif()
endforeach()
file(READ_SYMLINK ${root}/bin/varistra target)
if(NOT target STREQUAL "../lib/varistra/varistra")
  message(FATAL_ERROR "bin/varistra should be a relative link to the private folder, is '${target}'")
endif()

# The installed program finds its libraries in its own folder, not in the build tree.
run_or_fail("installed varistra --version" ${root}/bin/varistra --version)
if(NOT out STREQUAL "Varistra ${VERSION}\n")
  message(FATAL_ERROR "installed varistra --version printed '${out}'")
endif()
run_or_fail("ldd" ldd ${root}/lib/varistra/varistra)
if(out MATCHES "not found" OR out MATCHES "${BUILD_DIR}/bin/")
  message(FATAL_ERROR "installed varistra resolves its libraries wrongly:\n${out}")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(DESKTOP_FILE_VALIDATE)
  run_or_fail("desktop-file-validate" ${DESKTOP_FILE_VALIDATE} ${share}/applications/${APP_ID}.desktop)
endif()
if(APPSTREAMCLI)
  run_or_fail("appstreamcli validate" ${APPSTREAMCLI} validate --no-net ${share}/metainfo/${APP_ID}.metainfo.xml)
endif()
file(REMOVE_RECURSE ${dest})
