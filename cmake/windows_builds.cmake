# The Windows products (stand-in SDK, Selvo.flt, selvo-host.exe) are cross
# builds of this same source tree with mingw-w64, run from the native build:
# i686 is the deliverable module, run under the 32-bit Wine loader (emulated
# by qemu where the kernel runs no 32-bit code); x86_64 runs under wine64. Both
# carry the Windows test programs.
find_program(SELVO_MINGW_I686 i686-w64-mingw32-g++-posix)
find_program(SELVO_MINGW_X86_64 x86_64-w64-mingw32-g++-posix)
if(SELVO_MINGW_I686 AND SELVO_MINGW_X86_64)
  set(_selvo_mingw_found ON)
else()
  set(_selvo_mingw_found OFF)
endif()
option(SELVO_WINDOWS "Also build the Windows module, SDK and host with mingw-w64"
       ${_selvo_mingw_found})

if(SELVO_WINDOWS)
  include(ExternalProject)
  # One cross build into build/<dir>, with the test programs run under Wine.
  function(selvo_add_windows_build arch dir)
    ExternalProject_Add(selvo_windows_${arch}
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${PROJECT_BINARY_DIR}/${dir}
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-${arch}.cmake
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
        -DSELVO_WINDOWS_TESTS=ON
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON)
  endfunction()
  selvo_add_windows_build(i686 win32)
  selvo_add_windows_build(x86_64 win64)

  # Where each build's DLLs and programs land.
  set(SELVO_WIN32_BIN ${PROJECT_BINARY_DIR}/win32/bin)
  set(SELVO_WIN64_BIN ${PROJECT_BINARY_DIR}/win64/bin)
endif()
