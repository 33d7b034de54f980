# What the tests folders build (test programs and their support libraries) is
# compiled without optimisation: it is assertions, fixtures and process
# handling, and optimising it took as long as the rest of the build. The code
# under test comes from the project's libraries and programs, built with the
# tree's own flags.
function(unoptimised_tests dir)
  if(dir MATCHES "/tests$")
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE" OR type STREQUAL "STATIC_LIBRARY")
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-O0>)
      endif()
    endforeach()
  endif()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    unoptimised_tests(${subdir})
  endforeach()
endfunction()

if(BUILD_TESTING)
  unoptimised_tests(${PROJECT_SOURCE_DIR})
endif()
