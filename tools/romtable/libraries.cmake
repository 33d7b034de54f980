# romtable's libraries, found before the rest of the build is set up so that a
# romtable left out is left out of the static analysis too: FFTW for the
# spectrum (tools/shared/libraries.cmake), nlohmann-json for `show --json`.
if(PkgConfig_FOUND)
  pkg_check_modules(NLOHMANN_JSON IMPORTED_TARGET nlohmann_json>=3)
endif()
if(NOT FFTW3_FOUND OR NOT NLOHMANN_JSON_FOUND)
  if(REQUIRE_ALL_TOOLS)
    message(FATAL_ERROR "romtable: FFTW or nlohmann-json not found (scripts/bootstrap installs libfftw3-dev and nlohmann-json3-dev)")
  endif()
  message(WARNING "romtable: FFTW or nlohmann-json not found, romtable is left out (scripts/bootstrap installs libfftw3-dev and nlohmann-json3-dev)")
  set(WITH_ROMTABLE OFF)
endif()
