# Configuring with a VERSION that cannot become a four-part assembly version
# must fail, before anything is built; the largest valid one must not.
#
# cmake -DSOURCE=... -DSCRATCH=... -P check_version.cmake
cmake_minimum_required(VERSION 3.25)

# Configures a copy of the top-level list file with VERSION holding version;
# sets refused when the configuration stopped at the version check.
function(configure_with version)
  file(REMOVE_RECURSE ${SCRATCH})
  file(COPY ${SOURCE}/CMakeLists.txt DESTINATION ${SCRATCH})
  file(WRITE ${SCRATCH}/VERSION "${version}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SCRATCH} -B ${SCRATCH}/build
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(FIND "${output}" "VERSION holds" at)
  if(NOT status EQUAL 0 AND NOT at EQUAL -1)
    set(refused TRUE PARENT_SCOPE)
  else()
    set(refused FALSE PARENT_SCOPE)
  endif()
endfunction()

foreach(version "1.0" "1.0.0.0" "65536.0.0" "1.2.99999" "1.x.0" "v1.0.0" "1.0.0-beta" "1..0" " 1.0.0" "-" "")
  configure_with("${version}")
  if(NOT refused)
    message(FATAL_ERROR "VERSION '${version}' was not refused")
  endif()
endforeach()
# The rest of the tree is missing from the copy, so this one fails later.
configure_with("65535.65535.65535")
if(refused)
  message(FATAL_ERROR "VERSION '65535.65535.65535' was refused")
endif()
file(REMOVE_RECURSE ${SCRATCH})
message(STATUS "every malformed VERSION was refused")
