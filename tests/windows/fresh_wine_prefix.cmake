# Makes a fresh Wine prefix for the Windows tests: stops any Wine server
# left on the old one, removes it, and boots a new one.
# cmake -DWINE=... -DWINESERVER=... [-DWINEARCH=win32] -DPREFIX=... -P fresh_wine_prefix.cmake
set(ENV{WINEPREFIX} ${PREFIX})
if(WINEARCH)
  set(ENV{WINEARCH} ${WINEARCH})
endif()
set(ENV{WINEDEBUG} -all)
# No Mono or Gecko: there is no network to fetch them from.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
if(WINESERVER)
  execute_process(COMMAND ${WINESERVER} -k OUTPUT_QUIET ERROR_QUIET)
endif()
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${WINE} wineboot --init RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/system.reg)
  message(FATAL_ERROR "wineboot failed (${result}):\n${output}")
endif()
if(WINESERVER)
  execute_process(COMMAND ${WINESERVER} -w)  # until the boot has settled
endif()
