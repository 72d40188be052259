# Checks the built plug-in DLL: exactly two exports, VSTPluginMain and main, by those
# undecorated names and at one address, and imports from system DLLs only, so that
# the one file is all a user copies.
execute_process(COMMAND ${OBJDUMP} -p ${PLUGIN} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PLUGIN}")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" name_table "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" names "${name_table}")
list(TRANSFORM names REPLACE "^\\[ *[0-9]+\\] " "")
list(SORT names)
if(NOT names STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "exported names are [${names}], expected exactly VSTPluginMain and main")
endif()

string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] [0-9a-f]+ Export RVA" addresses "${dump}")
list(TRANSFORM addresses REPLACE "^.*\\] ([0-9a-f]+) Export RVA$" "\\1")
list(REMOVE_DUPLICATES addresses)
list(LENGTH addresses distinct)
if(NOT distinct EQUAL 1)
  message(FATAL_ERROR "VSTPluginMain and main are not the same function: [${addresses}]")
endif()

# KERNEL32 and the C runtime ship with every Windows; nothing else may be needed.
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
list(TRANSFORM imports TOLOWER)
list(SORT imports)
foreach(dll IN LISTS imports)
  if(NOT dll MATCHES "^(kernel32|msvcrt)\\.dll$")
    message(FATAL_ERROR "the DLL needs ${dll}; only kernel32.dll and msvcrt.dll are allowed (imports: [${imports}])")
  endif()
endforeach()
message(STATUS "exports: ${names}; imports: ${imports}")
