# Removes from the built site every file and folder that is not on its list, such
# as a file an older tree built under a name since changed: make web serves the
# folder and make dist ships it whole, so it must hold the current site alone.
#   cmake -DSITE=dir -DFILES=a,b,... -P site-prune.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" FILES "${FILES}")
set(folders)
foreach(file IN LISTS FILES)
  get_filename_component(folder ${file} DIRECTORY)
  list(APPEND folders ${folder})
endforeach()
file(GLOB_RECURSE present LIST_DIRECTORIES true RELATIVE ${SITE} ${SITE}/*)
foreach(entry IN LISTS present)
  if(NOT entry IN_LIST FILES AND NOT entry IN_LIST folders AND EXISTS ${SITE}/${entry})
    message(STATUS "Removing ${entry}, which the site no longer has")
    file(REMOVE_RECURSE ${SITE}/${entry})
  endif()
endforeach()
