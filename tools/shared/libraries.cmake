# Libraries of what the host tools share, found before the rest of the build
# is set up: FFTW for the spectrum (romtable and boardsim), libsndfile for
# the WAV files boardsim writes of its DAC's outputs.
find_package(PkgConfig)
if(PkgConfig_FOUND)
  pkg_check_modules(FFTW3 IMPORTED_TARGET fftw3)
  pkg_check_modules(SNDFILE IMPORTED_TARGET sndfile)
endif()
