# The download for Windows users: `cpack` in the MinGW build folder makes
# vorlin-<version>-win64.zip with the program, the headless renderer, a short README and
# the licence texts of what the two programs link in.
install(TARGETS vorlin vorlin-render RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/resources/README-windows.txt DESTINATION . RENAME README.txt)

# The licence texts, as Debian ships them with the packages the programs are built from:
# the MinGW-w64 runtime and headers, GCC's runtime libraries (libstdc++, libgcc,
# winpthreads: GPL 3 with the runtime library exception), stb, nlohmann-json, and the image
# libraries: zlib (Debian's MinGW build), libspng, libdeflate and libjpeg-turbo (cross-built by
# scripts/build-mingw-deps.sh, which keeps their Debian copyright files in its prefix).
set(VORLIN_LICENCES
    mingw-w64-runtime.txt /usr/share/doc/mingw-w64-common/copyright
    gcc-runtime-libraries.txt /usr/share/doc/gcc-mingw-w64-base/copyright
    GPL-3.txt /usr/share/common-licenses/GPL-3
    stb.txt /usr/share/doc/libstb-dev/copyright
    nlohmann-json.txt /usr/share/doc/nlohmann-json3-dev/copyright
    zlib.txt /usr/share/doc/libz-mingw-w64-dev/copyright
    libspng.txt ${VORLIN_MINGW_DEPS_PREFIX}/share/doc/libspng/copyright
    libdeflate.txt ${VORLIN_MINGW_DEPS_PREFIX}/share/doc/libdeflate/copyright
    libjpeg-turbo.txt ${VORLIN_MINGW_DEPS_PREFIX}/share/doc/libjpeg-turbo/copyright)
while(VORLIN_LICENCES)
  list(POP_FRONT VORLIN_LICENCES name path)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${path} not found: the package that ships it is not installed")
  endif()
  install(FILES ${path} DESTINATION licences RENAME ${name})
endwhile()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vorlin)
set(CPACK_PACKAGE_VERSION ${VORLIN_VERSION})
set(CPACK_PACKAGE_FILE_NAME vorlin-${VORLIN_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
