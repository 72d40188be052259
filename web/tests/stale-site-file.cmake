# The built site holds its file list alone: a file and a folder planted as an older
# tree would have left them are gone after the next build of the site.
#   cmake -DSITE=dir -DBUILD=dir -P stale-site-file.cmake
file(WRITE ${SITE}/renamed-since.js "// from an older tree\n")
file(WRITE ${SITE}/old-folder/old.css "")
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target brevander_site RESULT_VARIABLE failed
  OUTPUT_QUIET)
if(failed OR EXISTS ${SITE}/renamed-since.js OR EXISTS ${SITE}/old-folder OR NOT EXISTS ${SITE}/vendor/uPlot.LICENSE)
  message(FATAL_ERROR "the site's build left a stale file in ${SITE}, or lost one of its own")
endif()
