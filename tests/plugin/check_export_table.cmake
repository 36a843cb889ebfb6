cmake_minimum_required(VERSION 3.25)
# Reads the export and import tables of the built plug-in with objdump and
# checks what the editor relies on: the nine functions by their undecorated
# names with the interface's ordinals, nothing else exported, and no DLL
# imported but Windows' own (the mingw runtime is linked in).
#   cmake -DOBJDUMP=... -DDLL=... -P check_export_table.cmake

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

set(failures 0)
macro(fail text)
  message(SEND_ERROR "${text}")
  math(EXPR failures "${failures} + 1")
endmacro()

string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" _ "${dump}")
set(base ${CMAKE_MATCH_1})
if(NOT base STREQUAL "1")
  fail("ordinal base is '${base}', not 1")
endif()

# The "[Ordinal/Name Pointer] Table" up to the blank line after it, one
# "\t[   3] PluginAuthor" a line, the index counting from the ordinal base.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
  fail("no export name table in ${DLL}")
  set(start 0)
endif()
string(SUBSTRING "${dump}" ${start} -1 names)
string(FIND "${names}" "\n\n" end)
string(SUBSTRING "${names}" 0 ${end} names)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" entries "${names}")
set(exported "")
foreach(entry IN LISTS entries)
  string(REGEX MATCH "\\[ *([0-9]+)\\] ([A-Za-z_@0-9]+)" _ "${entry}")
  math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
  list(APPEND exported "${CMAKE_MATCH_2}=${ordinal}")
endforeach()
list(SORT exported)

set(expected PluginAuthor=4 PluginDescription=7 PluginEmail=3 PluginExecute=1 PluginInitialize=9 PluginName=8
             PluginSetCallback=2 PluginTarnixVersion=6 PluginVersion=5)
if(NOT exported STREQUAL expected)
  fail("exports are '${exported}', expected '${expected}'")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(system_dlls advapi32.dll comctl32.dll gdi32.dll kernel32.dll msimg32.dll msvcrt.dll ole32.dll shell32.dll
                user32.dll)
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" name "${import}")
  string(TOLOWER "${name}" name)
  if(NOT name IN_LIST system_dlls)
    fail("the plug-in imports ${name}, which Windows does not bring")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} problem(s) in the export or import table of ${DLL}")
endif()
message(STATUS "ok: 9 exports with ordinals 1-9, imports only Windows system DLLs: ${imports}")
